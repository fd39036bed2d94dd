#include "platform/host/host_backend.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "platform/host/host_paths.h"

namespace nimbora {

namespace {

// 3 when the directory that should hold hostPath is missing, 2 otherwise.
uint32_t MissingEntryError(const char* hostPath) {
  if (hostPath == nullptr) return kErrorFileNotFound;
  char parent[kHostPathCapacity];
  strcpy(parent, hostPath);
  char* slash = strrchr(parent, '/');
  if (slash == nullptr) return kErrorPathNotFound;
  slash[slash == parent ? 1 : 0] = 0;
  struct stat status;
  bool parentIsDirectory = stat(parent, &status) == 0 && S_ISDIR(status.st_mode);
  return parentIsDirectory ? kErrorFileNotFound : kErrorPathNotFound;
}

}  // namespace

HostFileSystemState* HostState(FileSystem* self) {
  return static_cast<HostFileSystemState*>(self->state);
}

int Fail(FileSystem* self, uint32_t code) {
  HostState(self)->lastError = code;
  return 0;
}

uint32_t DeviceError(int hostError, const char* hostPath) {
  switch (hostError) {
    case ENOENT: return MissingEntryError(hostPath);
    case ENOTDIR:
    case ENAMETOOLONG: return kErrorPathNotFound;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
    case ELOOP:
    case ETXTBSY: return kErrorAccessDenied;
    case EEXIST: return kErrorAlreadyExists;
    case ENOTEMPTY: return kErrorDirectoryNotEmpty;
    case ENOSPC:
    case EDQUOT: return kErrorDiskFull;
    case ENOMEM: return kErrorNotEnoughMemory;
    case EINVAL: return kErrorInvalidParameter;
    default: return kErrorGeneralFailure;
  }
}

int FailWithErrno(FileSystem* self, const char* hostPath) {
  return Fail(self, DeviceError(errno, hostPath));
}

bool MapPath(FileSystem* self, const char16_t* devicePath, char* hostPath) {
  if (MapDevicePath(HostState(self)->root, devicePath, hostPath, kHostPathCapacity)) return true;
  return Fail(self, kErrorPathNotFound);
}

bool IsReadOnlyMode(mode_t mode) { return (mode & 0222) == 0; }

int OpenHostFile(FileSystem* self, const char* hostPath, int flags, struct stat* status) {
  int descriptor = open(hostPath, (flags & ~O_TRUNC) | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (descriptor < 0) {
    FailWithErrno(self, hostPath);
    return -1;
  }
  // Judged on the open file, and emptied only once it may be written.
  bool writing = (flags & O_ACCMODE) != O_RDONLY;
  uint32_t refusal = 0;
  if (fstat(descriptor, status) != 0 || !S_ISREG(status->st_mode) ||
      (writing && IsReadOnlyMode(status->st_mode))) {
    refusal = kErrorAccessDenied;
  } else if ((flags & O_TRUNC) != 0 && ftruncate(descriptor, 0) != 0) {
    refusal = DeviceError(errno, hostPath);
  }
  if (refusal == 0) return descriptor;
  close(descriptor);
  Fail(self, refusal);
  return -1;
}

}  // namespace nimbora
