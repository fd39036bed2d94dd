// What the host's file-system operations share: the state behind the record,
// error codes, path mapping and opening without following links.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>

#include "platform/file_system.h"
#include "platform/host/host_file_system.h"

namespace nimbora {

HostFileSystemState* HostState(FileSystem* self);

// Records code as the last error; returns 0 so failures read "return Fail(...)".
int Fail(FileSystem* self, uint32_t code);
// The device code for a failed host call; hostPath (when the call had one)
// tells a missing file (2) from a missing directory (3).
uint32_t DeviceError(int hostError, const char* hostPath);
int FailWithErrno(FileSystem* self, const char* hostPath = nullptr);

// Maps a device path below the root; a path that cannot be mapped fails with 3.
bool MapPath(FileSystem* self, const char16_t* devicePath, char* hostPath);

// No write permission for anyone is the device's read-only attribute.
bool IsReadOnlyMode(mode_t mode);

// Reads the status of an open descriptor: true for a regular file, and when
// writing, one that is not read-only.
bool IsUsableFile(int descriptor, bool writing, struct stat* status);

// Opens a file (never a directory, never through a link). Writing to a
// read-only file fails with 5 even for root, as on the device.
// Returns the descriptor and fills status, or returns -1 with the last error set.
int OpenHostFile(FileSystem* self, const char* hostPath, int flags, struct stat* status);

// The operations, by file: host_streams.cpp,
Stream* HostOpen(FileSystem* self, const char16_t* path, const char16_t* mode);
size_t HostRead(FileSystem* self, Stream* stream, void* buffer, size_t size);
size_t HostWrite(FileSystem* self, Stream* stream, const void* data, size_t size);
int HostSeek(FileSystem* self, Stream* stream, long long offset, int origin);
long long HostTell(FileSystem* self, Stream* stream);
int HostClose(FileSystem* self, Stream* stream);
FileHandle* HostOpenExisting(FileSystem* self, const char16_t* path);
int HostSetFilePointer(FileSystem* self, FileHandle* file, long long offset);
int HostSetEndOfFile(FileSystem* self, FileHandle* file);
void HostCloseHandle(FileSystem* self, FileHandle* file);
int HostFlushStream(FileSystem* self, Stream* stream);
// host_search.cpp,
Search* HostFindFirst(FileSystem* self, const char16_t* pattern, DirectoryEntry* entry);
int HostFindNext(FileSystem* self, Search* search, DirectoryEntry* entry);
void HostFindClose(FileSystem* self, Search* search);
// host_file_operations.cpp,
int HostCreateDirectory(FileSystem* self, const char16_t* path);
int HostRemoveDirectory(FileSystem* self, const char16_t* path);
int HostDeleteFile(FileSystem* self, const char16_t* path);
int HostSetAttributes(FileSystem* self, const char16_t* path, uint32_t attributes);
int HostMoveFile(FileSystem* self, const char16_t* from, const char16_t* to);
int HostFlushVolume(FileSystem* self, const char16_t* path);
// and host_copy.cpp.
int HostCopyFile(FileSystem* self, const char16_t* from, const char16_t* to);

}  // namespace nimbora
