// Directory enumeration. Entries are judged without following links: a link
// is reported as a file, so a tree walk never leaves the tree through one.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <new>

#include "platform/host/host_backend.h"
#include "platform/host/host_utf8.h"
#include "base/wide_pattern.h"
#include "base/wide_string.h"

namespace nimbora {

struct Search {
  DIR* directory;
  char16_t pattern[kPathCapacity];
  int dotsGiven;
  bool hasPending;
  DirectoryEntry pending;  // the first real entry, read ahead to tell an empty directory
};

namespace {

// "\dir\*.*" into "\dir" and "*.*"; a pattern without a separator is in the root.
bool SplitPattern(const char16_t* full, char16_t* directory, char16_t* pattern) {
  int length = WideLength(full);
  if (length >= kPathCapacity) return false;
  int separator = length - 1;
  while (separator >= 0 && !IsPathSeparator(full[separator])) --separator;
  WideCopyBounded(directory, full, separator + 1 > 0 ? separator + 1 : 1);
  WideCopy(pattern, full + separator + 1);
  return true;
}

uint32_t AttributesOf(const struct stat& status) {
  uint32_t attributes = 0;
  if (S_ISDIR(status.st_mode)) attributes |= kAttributeDirectory;
  if (!S_ISLNK(status.st_mode) && IsReadOnlyMode(status.st_mode)) attributes |= kAttributeReadOnly;
  return attributes == 0 ? kAttributeNormal : attributes;
}

bool IsDotName(const char* name) { return strcmp(name, ".") == 0 || strcmp(name, "..") == 0; }

bool ReadMatchingEntry(Search* search, DirectoryEntry* entry) {
  while (dirent* found = readdir(search->directory)) {
    struct stat status;
    if (IsDotName(found->d_name) || !WideFromHostName(found->d_name, entry->name, kPathCapacity) ||
        !WideMatchesPattern(search->pattern, entry->name) ||
        fstatat(dirfd(search->directory), found->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
      continue;
    }
    entry->attributes = AttributesOf(status);
    return true;
  }
  return false;
}

bool GiveDotEntry(Search* search, DirectoryEntry* entry) {
  while (search->dotsGiven < 2) {
    const char16_t* name = search->dotsGiven++ == 0 ? u"." : u"..";
    if (WideMatchesPattern(search->pattern, name)) {
      WideCopy(entry->name, name);
      entry->attributes = kAttributeDirectory;
      return true;
    }
  }
  return false;
}

bool NextEntry(Search* search, DirectoryEntry* entry) {
  if (GiveDotEntry(search, entry)) return true;
  if (search->hasPending) {
    *entry = search->pending;
    search->hasPending = false;
    return true;
  }
  return ReadMatchingEntry(search, entry);
}

DIR* OpenDirectory(FileSystem* self, const char16_t* path) {
  char hostPath[kHostPathCapacity];
  if (!MapPath(self, path, hostPath)) return nullptr;
  int descriptor = open(hostPath, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  DIR* directory = descriptor < 0 ? nullptr : fdopendir(descriptor);
  if (directory == nullptr) {
    FailWithErrno(self, hostPath);
    if (descriptor >= 0) close(descriptor);
  }
  return directory;
}

}  // namespace

// A directory with nothing in it but "." and ".." yields nothing at all, as
// the logic expects of an empty directory.
Search* HostFindFirst(FileSystem* self, const char16_t* pattern, DirectoryEntry* entry) {
  char16_t directoryPath[kPathCapacity];
  Search* search = new (std::nothrow) Search{};
  if (search == nullptr) {
    Fail(self, kErrorNotEnoughMemory);
    return nullptr;
  }
  if (!SplitPattern(pattern, directoryPath, search->pattern)) {
    Fail(self, kErrorPathNotFound);
  } else if ((search->directory = OpenDirectory(self, directoryPath)) != nullptr) {
    search->hasPending = ReadMatchingEntry(search, &search->pending);
    if (search->hasPending && NextEntry(search, entry)) return search;
    Fail(self, kErrorFileNotFound);
  }
  HostFindClose(self, search);
  return nullptr;
}

int HostFindNext(FileSystem* self, Search* search, DirectoryEntry* entry) {
  return NextEntry(search, entry) ? 1 : Fail(self, kErrorNoMoreFiles);
}

void HostFindClose(FileSystem*, Search* search) {
  if (search->directory != nullptr) closedir(search->directory);
  delete search;
}

}  // namespace nimbora
