// The host's file system inside the backend: device paths mapped onto a
// directory tree below a root that the program chooses, with the device's
// names, error codes and rules. host_paths.cpp maps names, host_files.cpp
// does the operations. Memory comes from new and the standard containers only.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>

#include "platform/file_system.h"
#include "host_platform.h"

namespace nimbora {

// The entries of one directory, by folded device name (several host names
// may differ in letter case alone), and the directory's change time when
// they were listed.
struct HostDirectoryNames {
  timespec changed{};
  bool listed = false;
  // Made by this file system in this session: it holds only what was put
  // there through it, so its list needs no check of the change time.
  bool madeHere = false;
  std::unordered_multimap<std::u16string, std::string> names;
};

// Directories already listed for matching names ignoring case, so that a
// copy of thousands of files lists each target directory once instead of
// once a file. A list holds while its directory's change time stays what it
// was; the file system's own changes go into the lists as it makes them.
// Kernels with fine-grained change times give any later change a new time;
// on others a change by another process in the same clock tick as one of
// ours may go unseen, which the Updater, the only writer while it runs,
// never meets.
struct HostNameCache {
  HostNameCache() = default;
  // Moving hands the descriptor over; the cache moved from closes the one it had.
  HostNameCache(HostNameCache&& other) noexcept { *this = std::move(other); }
  HostNameCache& operator=(HostNameCache&& other) noexcept;
  ~HostNameCache();

  int root = -1;  // the root, held open so that spelled paths resolve beneath it
  std::map<std::pair<dev_t, ino_t>, HostDirectoryNames> listings;
  // The directories made here, by their path below the root as made.
  std::unordered_map<std::string, HostDirectoryNames*> madeHere;
};

struct HostFileSystemState {
  char root[kHostPathCapacity];  // host directory that stands for the device's "\"
  uint32_t lastError;
  mode_t creationMask;  // the process's umask, for opening new files with the final mode
  HostNameCache names;
};

// Fills fileSystem with the host operations over root, forgetting what state
// knew of an earlier root. Returns 0 (and leaves fileSystem untouched) when
// root is empty or does not fit.
int InitHostFileSystem(FileSystem* fileSystem, HostFileSystemState* state, const char* root);

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

// The names of the open directory, listed anew when it changed since the
// last listing; nullptr when it cannot be listed.
HostDirectoryNames* ListedDirectory(FileSystem* self, int directory);
// The names of the directory at relativePath below the root when it was
// made here or a listing of it still holds, else nullptr.
HostDirectoryNames* KnownDirectory(FileSystem* self, const char* relativePath);
// The host name that equals name ignoring case (the spelling itself when it
// exists), or false when none does.
bool MatchName(const HostDirectoryNames& names, const char16_t* name, std::string* found);
// This file system created hostName in the listed directory at
// relativeDirectory below the root.
void NoteCreated(FileSystem* self, HostDirectoryNames* names, const char* relativeDirectory,
                 const char* hostName);
// This file system created (added) or removed the entry at hostPath.
void NoteOwnChange(FileSystem* self, const char* hostPath, bool added);
// This file system made or removed the directory at hostPath.
void NoteMadeDirectory(FileSystem* self, const char* hostPath);
void NoteRemovedDirectory(FileSystem* self, const char* hostPath);
// Opens hostPath (below the root, no link anywhere on it, the last name
// included) with one kernel lookup. mode is for a file that O_CREAT creates.
int OpenWithoutLinks(FileSystem* self, const char* hostPath, int flags, mode_t mode = 0);
// hostPath without the root and the separator after it ("" for the root).
const char* BelowRoot(FileSystem* self, const char* hostPath);

// No write permission for anyone is the device's read-only attribute.
bool IsReadOnlyMode(mode_t mode);

// Opens a file (never a directory, never through a link). Writing to a
// read-only file fails with 5 even for root, as on the device.
// Returns the descriptor and fills status, or returns -1 with the last error set.
int OpenHostFile(FileSystem* self, const char* hostPath, int flags, struct stat* status);

// The operations, in host_files.cpp.
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
