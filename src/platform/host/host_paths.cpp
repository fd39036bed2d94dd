// The host file system's state and names: device paths to host paths, letter
// case matched through listed directories, host errors to device codes.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "base/utf8.h"
#include "base/wide_string.h"
#include "platform/host/host_file_system.h"

namespace nimbora {

namespace {

// A component of up to 259 units takes at most 3 bytes a unit in UTF-8.
constexpr size_t kHostNameCapacity = 3 * kPathCapacity;
// Large enough for a directory of a few hundred entries in one read.
constexpr size_t kEntryBufferSize = 16384;
constexpr uint32_t kNoticedChanges = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ONLYDIR;

bool IsDotName(const char* name) { return strcmp(name, ".") == 0 || strcmp(name, "..") == 0; }

// The key a name is matched by; false for a name no device path can hold.
bool FoldedName(const char* hostName, std::u16string* folded) {
  char16_t wide[kPathCapacity];
  if (!Utf16FromUtf8(hostName, wide, kPathCapacity)) return false;
  folded->clear();
  for (const char16_t* unit = wide; *unit != 0; ++unit) folded->push_back(FoldCase(*unit));
  return true;
}

void AddName(HostDirectoryNames* directory, const char* hostName) {
  std::u16string key;
  if (!FoldedName(hostName, &key)) return;
  auto range = directory->names.equal_range(key);
  for (auto it = range.first; it != range.second; ++it) {
    if (it->second == hostName) return;  // a notice of what the listing already saw
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
      if (!IsDotName(entry->d_name)) AddName(names, entry->d_name);
    }
  }
  return filled == 0;
}

void ForgetListings(HostNameCache* cache) {
  cache->byWatch.clear();
  cache->watchOf.clear();
}

void ForgetWatch(HostNameCache* cache, int watch) {
  auto it = cache->byWatch.find(watch);
  if (it == cache->byWatch.end()) return;
  cache->watchOf.erase({it->second.device, it->second.inode});
  cache->byWatch.erase(it);
}

void ApplyNotice(HostNameCache* cache, const inotify_event& notice) {
  if ((notice.mask & IN_Q_OVERFLOW) != 0) return ForgetListings(cache);
  if ((notice.mask & IN_IGNORED) != 0) return ForgetWatch(cache, notice.wd);
  auto it = cache->byWatch.find(notice.wd);
  if (it == cache->byWatch.end() || notice.len == 0) return;
  if ((notice.mask & (IN_CREATE | IN_MOVED_TO)) != 0) AddName(&it->second, notice.name);
  if ((notice.mask & (IN_DELETE | IN_MOVED_FROM)) != 0) RemoveName(&it->second, notice.name);
}

// Brings every list up to date with the changes made since the last lookup.
// A read that left room for another notice took all there were.
void ReadNotices(HostNameCache* cache) {
  alignas(inotify_event) char buffer[kEntryBufferSize];
  constexpr ssize_t kLargestNotice = sizeof(inotify_event) + NAME_MAX + 1;
  ssize_t filled = static_cast<ssize_t>(sizeof buffer);
  while (filled + kLargestNotice > static_cast<ssize_t>(sizeof buffer) &&
         (filled = read(cache->notices, buffer, sizeof buffer)) > 0) {
    for (ssize_t offset = 0; offset < filled;) {
      const inotify_event* notice = reinterpret_cast<const inotify_event*>(buffer + offset);
      offset += static_cast<ssize_t>(sizeof(inotify_event) + notice->len);
      ApplyNotice(cache, *notice);
    }
  }
}

bool OpenNotices(HostNameCache* cache) {
  if (cache->notices < 0 && !cache->unavailable) {
    cache->notices = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    cache->unavailable = cache->notices < 0;
  }
  return cache->notices >= 0;
}

// The watch comes before the listing, so no change falls between the two.
const HostDirectoryNames* ListAndWatch(HostNameCache* cache, int directory, const struct stat& status) {
  char self[32];
  snprintf(self, sizeof self, "/proc/self/fd/%d", directory);
  int watch = inotify_add_watch(cache->notices, self, kNoticedChanges);
  if (watch < 0) return nullptr;
  HostDirectoryNames& names = cache->byWatch[watch];
  names.device = status.st_dev;
  names.inode = status.st_ino;
  names.names.clear();
  if (!ListDirectory(directory, &names)) {
    inotify_rm_watch(cache->notices, watch);
    cache->byWatch.erase(watch);
    return nullptr;
  }
  cache->watchOf[{status.st_dev, status.st_ino}] = watch;
  return &names;
}

// The names of an open directory: from the cache when it has them, or else
// listed (and kept when the directory can be watched).
const HostDirectoryNames* NamesOf(HostNameCache* cache, int directory, HostDirectoryNames* scratch) {
  struct stat status;
  if (cache != nullptr && OpenNotices(cache) && fstat(directory, &status) == 0) {
    ReadNotices(cache);
    auto known = cache->watchOf.find({status.st_dev, status.st_ino});
    if (known != cache->watchOf.end()) return &cache->byWatch[known->second];
    if (const HostDirectoryNames* listed = ListAndWatch(cache, directory, status)) return listed;
  }
  return ListDirectory(directory, scratch) ? scratch : nullptr;
}

bool FindName(HostNameCache* cache, int directory, const char16_t* name, std::string* found) {
  std::u16string key;
  for (const char16_t* unit = name; *unit != 0; ++unit) key.push_back(FoldCase(*unit));
  char spelled[kHostNameCapacity];
  HostDirectoryNames scratch;
  const HostDirectoryNames* names = NamesOf(cache, directory, &scratch);
  if (names == nullptr || !Utf8FromUtf16(name, WideLength(name), spelled, sizeof spelled)) {
    return false;
  }
  auto range = names->names.equal_range(key);
  if (range.first == range.second) return false;
  *found = range.first->second;
  for (auto it = range.first; it != range.second; ++it) {
    if (it->second == spelled) *found = spelled;  // an exact spelling wins
  }
  return true;
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
  int descriptor = open(directory, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (descriptor < 0) return false;
  bool matched = FindName(cache, descriptor, name, found);
  close(descriptor);
  return matched;
}

bool AppendComponent(HostPath* path, const char16_t* name, int length) {
  char spelled[kHostNameCapacity];
  if (path->endsInLink || !Utf8FromUtf16(name, length, spelled, sizeof spelled)) return false;
  // A name of full stops alone would be taken by the host for "." or "..".
  if (IsDotName(spelled)) return false;

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

// The device drops trailing blanks and full stops from the last component,
// and one full stop from each component a separator follows.
int KeptLength(const char16_t* name, int length, bool last) {
  if (!last) return length > 0 && name[length - 1] == u'.' ? length - 1 : length;
  while (length > 0 && (name[length - 1] == u'.' || name[length - 1] == u' ')) --length;
  return length;
}

bool TakeComponent(HostPath* path, const char16_t* begin, int length, bool last) {
  if (length == 1 && begin[0] == u'.') return true;
  if (length == 2 && begin[0] == u'.' && begin[1] == u'.') {
    GoUp(path);
    return true;
  }
  length = KeptLength(begin, length, last);
  if (length == 0) return true;
  return length < kPathCapacity && AppendComponent(path, begin, length);
}

bool WalkDevicePath(const char* root, HostNameCache* cache, bool matchesNames,
                    const char16_t* devicePath, char* hostPath, size_t capacity) {
  size_t rootLength = strlen(root);
  if (rootLength >= capacity) return false;
  memcpy(hostPath, root, rootLength + 1);
  HostPath path{hostPath, capacity, rootLength, rootLength, cache, matchesNames, false};
  const char16_t* begin = devicePath;
  while (*begin != 0) {
    if (IsPathSeparator(*begin)) {
      ++begin;
      continue;
    }
    const char16_t* end = begin;
    while (*end != 0 && !IsPathSeparator(*end)) ++end;
    if (!TakeComponent(&path, begin, static_cast<int>(end - begin), *end == 0)) return false;
    begin = end;
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

}  // namespace

HostNameCache& HostNameCache::operator=(HostNameCache&& other) noexcept {
  std::swap(notices, other.notices);
  std::swap(unavailable, other.unavailable);
  byWatch.swap(other.byWatch);
  watchOf.swap(other.watchOf);
  return *this;
}

HostNameCache::~HostNameCache() {
  if (notices >= 0) close(notices);
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

bool FindHostName(FileSystem* self, int directory, const char16_t* name, std::string* found) {
  return FindName(&HostState(self)->names, directory, name, found);
}

bool IsReadOnlyMode(mode_t mode) { return (mode & 0222) == 0; }

}  // namespace nimbora
