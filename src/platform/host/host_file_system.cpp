#include "platform/host/host_file_system.h"

#include <cstring>

#include "platform/host/host_backend.h"

namespace nimbora {

namespace {

uint32_t HostLastError(FileSystem* self) { return HostState(self)->lastError; }

}  // namespace

int InitHostFileSystem(FileSystem* fileSystem, HostFileSystemState* state, const char* root) {
  size_t length = strlen(root);
  if (length == 0 || length >= kHostPathCapacity) return 0;
  while (length > 1 && root[length - 1] == '/') --length;  // "/" itself stays
  memcpy(state->root, root, length);
  state->root[length] = 0;
  state->lastError = 0;
  *fileSystem = FileSystem{state,
                           HostOpen,
                           HostRead,
                           HostWrite,
                           HostSeek,
                           HostTell,
                           HostClose,
                           HostFindFirst,
                           HostFindNext,
                           HostFindClose,
                           HostCreateDirectory,
                           HostRemoveDirectory,
                           HostCopyFile,
                           HostDeleteFile,
                           HostSetAttributes,
                           HostOpenExisting,
                           HostSetFilePointer,
                           HostSetEndOfFile,
                           HostCloseHandle,
                           HostLastError,
                           HostFlushStream,
                           HostMoveFile,
                           HostFlushVolume};
  return 1;
}

}  // namespace nimbora
