// The host file system's state and names: device paths to host paths, letter
// case matched through listed directories, host errors to device codes, and
// opening what a path resolved to.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstring>

#include "base/utf8.h"
#include "base/wide_string.h"
#include "host_file_operations.h"
#include "platform/device_names.h"

namespace nimbora {

namespace {

// A component of up to 259 units takes at most 3 bytes a unit in UTF-8.
constexpr size_t kHostNameCapacity = 3 * kPathCapacity;
// Large enough for a directory of a few hundred entries in one read.
constexpr size_t kEntryBufferSize = 16384;

// The key a name is matched by.
std::u16string Folded(const char16_t* name) {
  std::u16string folded;
  for (const char16_t* unit = name; *unit != 0; ++unit) folded.push_back(FoldCase(*unit));
  return folded;
}

// False for a host name that no device path can hold.
bool FoldedName(const char* hostName, std::u16string* folded) {
  char16_t wide[kPathCapacity];
  if (!IsDeviceName(hostName) || !Utf16FromUtf8(hostName, wide, kPathCapacity)) return false;
  *folded = Folded(wide);
  return true;
}

void AddName(HostDirectoryNames* directory, const char* hostName) {
  std::u16string key;
  if (!FoldedName(hostName, &key)) return;
  auto range = directory->names.equal_range(key);
  for (auto it = range.first; it != range.second; ++it) {
    if (it->second == hostName) return;  // opened for writing, not created
  }
  directory->names.emplace(std::move(key), hostName);
}

void RemoveName(HostDirectoryNames* directory, const char* hostName) {
  std::u16string key;
  if (!FoldedName(hostName, &key)) return;
  auto range = directory->names.equal_range(key);
  for (auto it = range.first; it != range.second; ++it) {
    if (it->second == hostName) {
      directory->names.erase(it);
      return;
    }
  }
}

// getdents64 rather than readdir: no stream to allocate for one pass.
bool ListDirectory(int directory, HostDirectoryNames* names) {
  alignas(dirent64) char buffer[kEntryBufferSize];
  ssize_t filled;
  if (lseek(directory, 0, SEEK_SET) != 0) return false;
  while ((filled = getdents64(directory, buffer, sizeof buffer)) > 0) {
    for (ssize_t offset = 0; offset < filled;) {
      const dirent64* entry = reinterpret_cast<const dirent64*>(buffer + offset);
      offset += entry->d_reclen;
      AddName(names, entry->d_name);
    }
  }
  return filled == 0;
}

bool SameTime(const timespec& a, const timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// The list of a directory whose status was read before, or nullptr.
HostDirectoryNames* KnownListing(HostNameCache* cache, const struct stat& status) {
  auto known = cache->listings.find({status.st_dev, status.st_ino});
  if (known == cache->listings.end() || !known->second.listed) return nullptr;
  return SameTime(known->second.changed, status.st_ctim) ? &known->second : nullptr;
}

// The status comes before the listing: a change made while it is read
// gives a later change time, and the next lookup lists again.
HostDirectoryNames* ListingOf(HostNameCache* cache, int directory) {
  struct stat status;
  if (fstat(directory, &status) != 0) return nullptr;
  if (HostDirectoryNames* known = KnownListing(cache, status)) return known;
  HostDirectoryNames& names = cache->listings[{status.st_dev, status.st_ino}];
  names.names.clear();
  names.changed = status.st_ctim;
  names.listed = ListDirectory(directory, &names);
  return names.listed ? &names : nullptr;
}

// The host name that equals name ignoring case (the spelling itself when it
// exists), or false when none does.
bool MatchName(const HostDirectoryNames& names, const char16_t* name, std::string* found) {
  auto range = names.names.equal_range(Folded(name));
  if (range.first == range.second) return false;
  char spelled[kHostNameCapacity];
  if (!Utf8FromUtf16(name, WideLength(name), spelled, sizeof spelled)) return false;
  *found = range.first->second;
  for (auto it = range.first; it != range.second; ++it) {
    if (it->second == spelled) *found = spelled;  // an exact spelling wins
  }
  return true;
}

// Without a cache the directory is listed for this lookup alone.
bool FindName(HostNameCache* cache, int directory, const char16_t* name, std::string* found) {
  if (cache == nullptr) {
    HostDirectoryNames listed;
    return ListDirectory(directory, &listed) && MatchName(listed, name, found);
  }
  const HostDirectoryNames* names = ListingOf(cache, directory);
  return names != nullptr && MatchName(*names, name, found);
}

// ---- Paths ----

struct HostPath {
  char* text;
  size_t capacity;
  size_t length;
  size_t rootLength;
  HostNameCache* cache;
  bool matchesNames;  // false: every name is taken as spelled, nothing is looked up
  bool endsInLink;
};

bool AppendName(HostPath* path, const char* name) {
  size_t length = strlen(name);
  if (path->length + 1 + length >= path->capacity) return false;
  path->text[path->length++] = '/';
  memcpy(path->text + path->length, name, length + 1);
  path->length += length;
  return true;
}

void CutTo(HostPath* path, size_t length) {
  path->length = length;
  path->text[length] = 0;
}

void GoUp(HostPath* path) {
  size_t length = path->length;
  while (length > path->rootLength && path->text[length] != '/') --length;
  CutTo(path, length);
  path->endsInLink = false;
}

bool FindInDirectory(HostNameCache* cache, const char* directory, const char16_t* name,
                     std::string* found) {
  int descriptor = open(directory, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (descriptor < 0) return false;
  bool matched = FindName(cache, descriptor, name, found);
  close(descriptor);
  return matched;
}

bool AppendComponent(HostPath* path, const char16_t* name, int length) {
  char spelled[kHostNameCapacity];
  if (path->endsInLink || !Utf8FromUtf16(name, length, spelled, sizeof spelled)) return false;
  // A name of full stops alone would be taken by the host for "." or "..".
  if (!IsDeviceName(spelled)) return false;

  size_t parentLength = path->length;
  if (!AppendName(path, spelled)) return false;
  if (!path->matchesNames) return true;
  struct stat status;
  bool exists = lstat(path->text, &status) == 0;
  if (!exists) {
    CutTo(path, parentLength);
    char16_t wide[kPathCapacity];
    WideCopyBounded(wide, name, length + 1);
    std::string found;
    bool matched = FindInDirectory(path->cache, path->text, wide, &found);
    if (!AppendName(path, matched ? found.c_str() : spelled)) return false;
    exists = matched && lstat(path->text, &status) == 0;
  }
  path->endsInLink = exists && S_ISLNK(status.st_mode);
  return true;
}

bool TakeComponent(HostPath* path, const char16_t* begin, int length, bool last) {
  int kept = 0;
  switch (StepOfComponent(begin, length, last, &kept)) {
    case PathStep::Skip:
      return true;
    case PathStep::Up:
      GoUp(path);
      return true;
    case PathStep::Name:
      return AppendComponent(path, begin, kept);
    case PathStep::TooLong:
      break;
  }
  return false;
}

bool WalkDevicePath(const char* root, HostNameCache* cache, bool matchesNames,
                    const char16_t* devicePath, char* hostPath, size_t capacity) {
  size_t rootLength = strlen(root);
  if (rootLength >= capacity) return false;
  memcpy(hostPath, root, rootLength + 1);
  HostPath path{hostPath, capacity, rootLength, rootLength, cache, matchesNames, false};
  const char16_t* cursor = devicePath;
  const char16_t* component;
  int length;
  while (NextPathComponent(&cursor, &component, &length)) {
    if (!TakeComponent(&path, component, length, *cursor == 0)) return false;
  }
  return true;
}

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

uint32_t HostLastError(FileSystem* self) { return HostState(self)->lastError; }

// The root held open, opened at the first use.
int RootDirectory(FileSystem* self) {
  HostNameCache* cache = &HostState(self)->names;
  if (cache->root < 0) cache->root = open(HostState(self)->root, O_PATH | O_DIRECTORY | O_CLOEXEC);
  return cache->root;
}

// The status of the directory at relativePath below the root.
bool DirectoryStatus(FileSystem* self, const char* relativePath, struct stat* status) {
  int root = RootDirectory(self);
  return root >= 0 &&
         fstatat(root, *relativePath == 0 ? "." : relativePath, status, AT_SYMLINK_NOFOLLOW) == 0;
}

// hostPath without the root and the separator after it ("" for the root).
const char* BelowRoot(FileSystem* self, const char* hostPath) {
  size_t rootLength = strlen(HostState(self)->root);
  return hostPath[rootLength] == 0 ? hostPath + rootLength : hostPath + rootLength + 1;
}

}  // namespace

HostNameCache& HostNameCache::operator=(HostNameCache&& other) noexcept {
  std::swap(root, other.root);
  listings.swap(other.listings);
  madeHere.swap(other.madeHere);
  return *this;
}

HostNameCache::~HostNameCache() {
  if (root >= 0) close(root);
}

int InitHostFileSystem(FileSystem* fileSystem, HostFileSystemState* state, const char* root) {
  size_t length = strlen(root);
  if (length == 0 || length >= kHostPathCapacity) return 0;
  while (length > 1 && root[length - 1] == '/') --length;  // "/" itself stays
  memcpy(state->root, root, length);
  state->root[length] = 0;
  state->lastError = 0;
  state->creationMask = umask(0);
  umask(state->creationMask);
  state->names = HostNameCache{};
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
                           HostLastError,
                           HostFlushStream,
                           HostMoveFile,
                           HostFlushVolume};
  return 1;
}

HostFileSystemState* OpenHostFileSystem(FileSystem* fileSystem, const char* root) {
  HostFileSystemState* state = new HostFileSystemState{};
  if (InitHostFileSystem(fileSystem, state, root)) return state;
  delete state;
  return nullptr;
}

void CloseHostFileSystem(HostFileSystemState* state) { delete state; }

bool MapDevicePath(const char* root, const char16_t* devicePath, char* hostPath, size_t capacity) {
  return WalkDevicePath(root, nullptr, true, devicePath, hostPath, capacity);
}

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
  HostFileSystemState* state = HostState(self);
  if (WalkDevicePath(state->root, &state->names, true, devicePath, hostPath, kHostPathCapacity)) {
    return true;
  }
  return Fail(self, kErrorPathNotFound);
}

bool SpellPath(FileSystem* self, const char16_t* devicePath, char* hostPath) {
  return WalkDevicePath(HostState(self)->root, nullptr, false, devicePath, hostPath,
                        kHostPathCapacity);
}

void NoteOwnChange(FileSystem* self, const char* hostPath, bool added) {
  const char* slash = strrchr(hostPath, '/');
  if (slash == nullptr) return;
  std::string directory(hostPath, slash == hostPath ? 1 : static_cast<size_t>(slash - hostPath));
  struct stat status;
  if (lstat(directory.c_str(), &status) != 0) return;
  HostNameCache* cache = &HostState(self)->names;
  auto known = cache->listings.find({status.st_dev, status.st_ino});
  if (known == cache->listings.end() || !known->second.listed) return;
  if (added) {
    AddName(&known->second, slash + 1);
  } else {
    RemoveName(&known->second, slash + 1);
  }
  known->second.changed = status.st_ctim;
}

// A new directory is known to be empty.
void NoteMadeDirectory(FileSystem* self, const char* hostPath) {
  NoteOwnChange(self, hostPath, true);
  struct stat status;
  if (lstat(hostPath, &status) != 0) return;
  HostNameCache* cache = &HostState(self)->names;
  HostDirectoryNames& names = cache->listings[{status.st_dev, status.st_ino}];
  names.names.clear();
  names.changed = status.st_ctim;
  names.listed = true;
  names.madeHere = true;
  cache->madeHere[BelowRoot(self, hostPath)] = &names;
}

void NoteRemovedDirectory(FileSystem* self, const char* hostPath) {
  NoteOwnChange(self, hostPath, false);
  HostState(self)->names.madeHere.erase(BelowRoot(self, hostPath));
}

// One lookup that fails (ELOOP) on a link anywhere on the path, the last
// name included, and (EXDEV) on a path that would leave the root. Opened
// without blocking: the caller learns the type before anything waits.
int OpenWithoutLinks(FileSystem* self, const char* hostPath, int flags, mode_t mode) {
  int root = RootDirectory(self);
  if (root < 0) return -1;
  const char* relative = BelowRoot(self, hostPath);
  struct open_how how;
  memset(&how, 0, sizeof how);
  how.flags = static_cast<uint64_t>(flags | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  how.mode = (flags & O_CREAT) != 0 ? mode : 0;
  how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_BENEATH;
  return static_cast<int>(
      syscall(SYS_openat2, root, *relative == 0 ? "." : relative, &how, sizeof how));
}

// No other status flag is ever set.
bool MayBlock(int descriptor) { return fcntl(descriptor, F_SETFL, 0) == 0; }

namespace {

// Reads the status of a descriptor opened without blocking: true for a
// regular file, and when writing, one that is not read-only, which then
// reads and writes as files do.
bool IsUsableFile(int descriptor, bool writing, struct stat* status) {
  return fstat(descriptor, status) == 0 && S_ISREG(status->st_mode) &&
         !(writing && IsReadOnlyMode(status->st_mode)) && MayBlock(descriptor);
}

}  // namespace

int OpenUsableFile(FileSystem* self, const char* hostPath, int flags, mode_t mode,
                   struct stat* status) {
  return UsableFile(self, OpenWithoutLinks(self, hostPath, flags & ~O_TRUNC, mode), hostPath, flags,
                    status);
}

int UsableFile(FileSystem* self, int descriptor, const char* hostPath, int flags, struct stat* status) {
  if (descriptor < 0) {
    FailWithErrno(self, hostPath);
    return -1;
  }
  // Judged on the open file, and emptied only once it may be written.
  uint32_t refusal = 0;
  if (!IsUsableFile(descriptor, (flags & O_ACCMODE) != O_RDONLY, status)) {
    refusal = kErrorAccessDenied;
  } else if ((flags & O_TRUNC) != 0 && ftruncate(descriptor, 0) != 0) {
    refusal = DeviceError(errno, hostPath);
  }
  if (refusal == 0) return descriptor;
  close(descriptor);
  Fail(self, refusal);
  return -1;
}

namespace {

// The names of the directory at relativePath below the root when it was
// made here or a listing of it still holds, else nullptr.
HostDirectoryNames* KnownDirectory(FileSystem* self, const char* relativePath) {
  HostNameCache* cache = &HostState(self)->names;
  auto made = cache->madeHere.find(relativePath);
  if (made != cache->madeHere.end()) return made->second;
  struct stat status;
  if (!DirectoryStatus(self, relativePath, &status)) return nullptr;
  return KnownListing(cache, status);
}

// False for the root itself, which is no file.
bool SplitTarget(FileSystem* self, HostTarget* target, char16_t* wideName) {
  const char* relative = BelowRoot(self, target->path);
  char* slash = strrchr(target->path, '/');
  if (*relative == 0 || slash == nullptr) return false;
  target->name = slash + 1;
  target->directory.assign(relative, slash > relative ? static_cast<size_t>(slash - relative) : 0);
  return Utf16FromUtf8(target->name, wideName, kPathCapacity);
}

int OpenDirectoryOf(FileSystem* self, HostTarget* target, bool spelled) {
  target->name[-1] = 0;
  int directory = spelled ? OpenWithoutLinks(self, target->path, O_RDONLY | O_DIRECTORY)
                          : open(target->path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  target->name[-1] = '/';
  return directory;
}

// The listing of the target's directory, reached as spelled or else name by
// name; target->names stays nullptr when it cannot be listed.
bool ListTargetDirectory(FileSystem* self, const char16_t* devicePath, HostTarget* target,
                         bool spelled, char16_t* wideName) {
  int directory = spelled ? OpenDirectoryOf(self, target, true) : -1;
  if (directory < 0) {
    if (!MapPath(self, devicePath, target->path)) return false;
    if (!SplitTarget(self, target, wideName)) return Fail(self, kErrorAccessDenied);
    directory = OpenDirectoryOf(self, target, false);
    if (directory < 0) {
      return Fail(self, errno == ENOENT ? kErrorPathNotFound : DeviceError(errno, nullptr));
    }
  }
  target->names = ListingOf(&HostState(self)->names, directory);
  close(directory);
  return true;
}

}  // namespace

// A target in a directory listed before needs no lookup of its own.
bool ResolveTarget(FileSystem* self, const char16_t* devicePath, HostTarget* target) {
  char16_t wideName[kPathCapacity];
  bool spelled = SpellPath(self, devicePath, target->path) && SplitTarget(self, target, wideName);
  target->names = spelled ? KnownDirectory(self, target->directory.c_str()) : nullptr;
  if (target->names == nullptr &&
      !ListTargetDirectory(self, devicePath, target, spelled, wideName)) {
    return false;
  }
  std::string found;
  target->exists = target->names != nullptr && MatchName(*target->names, wideName, &found);
  if (!target->exists) return true;
  if (static_cast<size_t>(target->name - target->path) + found.size() >= kHostPathCapacity) {
    return Fail(self, kErrorPathNotFound);
  }
  strcpy(target->name, found.c_str());
  return true;
}

// The list and its change time move on together. Anything else that changed
// the directory in between would be taken as seen; nothing else writes there
// while the Updater runs.
void NoteCreatedTarget(FileSystem* self, const HostTarget& target) {
  if (target.names == nullptr) return;
  HostDirectoryNames* names = target.names;
  AddName(names, target.name);
  if (names->madeHere) return;
  struct stat status;
  names->listed = DirectoryStatus(self, target.directory.c_str(), &status);
  names->changed = status.st_ctim;
}

bool IsDeviceRoot(FileSystem* self, const char* hostPath) { return *BelowRoot(self, hostPath) == 0; }

bool IsReadOnlyMode(mode_t mode) { return (mode & 0222) == 0; }

bool IsDeviceName(const char* hostName) {
  return strcmp(hostName, ".") != 0 && strcmp(hostName, "..") != 0 && strchr(hostName, '\\') == nullptr;
}

}  // namespace nimbora
