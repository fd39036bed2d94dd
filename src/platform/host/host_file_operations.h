// What the host file system's files share, and nothing outside them:
//   host_paths.cpp  device paths to host paths, names matched ignoring case
//                   through listed directories, host errors to device codes,
//                   opening what a path resolved to
//   host_files.cpp  streams, searches, the other file and directory operations
//   host_copy.cpp   the copy of a file over another
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "host_file_system.h"

namespace nimbora {

HostFileSystemState* HostState(FileSystem* self);

// Records code as the last error; returns 0 so failures read "return Fail(...)".
int Fail(FileSystem* self, uint32_t code);
// The device code for a failed host call; hostPath (when the call had one)
// tells a missing file (2) from a missing directory (3).
uint32_t DeviceError(int hostError, const char* hostPath);
int FailWithErrno(FileSystem* self, const char* hostPath = nullptr);

// MapDevicePath with the state's root and name cache; a path that cannot be
// mapped fails with 3.
bool MapPath(FileSystem* self, const char16_t* devicePath, char* hostPath);
// The same path with every name as spelled (trailing full stops and blanks
// dropped alike), looking nothing up: what MapPath gives whenever each name
// exists in exactly that spelling.
bool SpellPath(FileSystem* self, const char16_t* devicePath, char* hostPath);
// Opens hostPath (below the root, no link anywhere on it, the last name
// included) with one kernel lookup, without blocking. mode is for a file
// that O_CREAT creates.
int OpenWithoutLinks(FileSystem* self, const char* hostPath, int flags, mode_t mode = 0);
bool IsDeviceRoot(FileSystem* self, const char* hostPath);

// A file that a copy writes, resolved once: its host path with the last name
// as it exists in any letter case (else as spelled), and its directory.
struct HostTarget {
  char path[kHostPathCapacity];
  char* name;                 // the last name, within path
  std::string directory;      // the directory's path below the root
  HostDirectoryNames* names;  // its listing; nullptr when it cannot be listed
  bool exists;
};
bool ResolveTarget(FileSystem* self, const char16_t* devicePath, HostTarget* target);
// The copy created the target: its listing gains the name.
void NoteCreatedTarget(FileSystem* self, const HostTarget& target);
// This file system created (added) or removed the entry at hostPath.
void NoteOwnChange(FileSystem* self, const char* hostPath, bool added);
// This file system made or removed the directory at hostPath.
void NoteMadeDirectory(FileSystem* self, const char* hostPath);
void NoteRemovedDirectory(FileSystem* self, const char* hostPath);

// No write permission for anyone is the device's read-only attribute.
bool IsReadOnlyMode(mode_t mode);

// Opens a file (never a directory, never through a link) with
// OpenWithoutLinks and judges it with UsableFile.
int OpenUsableFile(FileSystem* self, const char* hostPath, int flags, mode_t mode,
                   struct stat* status);
// A descriptor opened with flags (O_TRUNC still to do) without blocking:
// kept, and set to block as files do, when it is a regular file, and when
// writing, one that is not read-only (writing to a read-only file fails with
// 5 even for root, as on the device). Returns it and fills status, or closes
// it and returns -1 with the last error set (hostPath tells the code of a
// failed open, descriptor -1).
int UsableFile(FileSystem* self, int descriptor, const char* hostPath, int flags, struct stat* status);
// A descriptor opened without blocking, known to be a regular file, now blocks.
bool MayBlock(int descriptor);

// The operations: host_files.cpp, and the copy in host_copy.cpp.
Stream* HostOpen(FileSystem* self, const char16_t* path, const char16_t* mode);
size_t HostRead(FileSystem* self, Stream* stream, void* buffer, size_t size);
size_t HostWrite(FileSystem* self, Stream* stream, const void* data, size_t size);
int HostSeek(FileSystem* self, Stream* stream, long long offset, int origin);
long long HostTell(FileSystem* self, Stream* stream);
int HostClose(FileSystem* self, Stream* stream);
Search* HostFindFirst(FileSystem* self, const char16_t* pattern, DirectoryEntry* entry);
int HostFindNext(FileSystem* self, Search* search, DirectoryEntry* entry);
void HostFindClose(FileSystem* self, Search* search);
int HostCreateDirectory(FileSystem* self, const char16_t* path);
int HostRemoveDirectory(FileSystem* self, const char16_t* path);
int HostCopyFile(FileSystem* self, const char16_t* from, const char16_t* to);
int HostDeleteFile(FileSystem* self, const char16_t* path);
int HostSetAttributes(FileSystem* self, const char16_t* path, uint32_t attributes);
int HostFlushStream(FileSystem* self, Stream* stream);
int HostMoveFile(FileSystem* self, const char16_t* from, const char16_t* to);
int HostFlushVolume(FileSystem* self, const char16_t* path);

}  // namespace nimbora
