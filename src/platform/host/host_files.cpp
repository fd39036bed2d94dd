// The host file system's operations on mapped paths: streams, searches and
// the other file and directory operations (the copy is in host_copy.cpp).
// Every check looks at the entry itself (lstat, O_NOFOLLOW): a link is a
// file, never followed.
// A file is opened without blocking until its type is known, so a FIFO, a
// socket or a device node is a file that cannot be opened, never a wait
// (an open with O_DIRECTORY refuses anything else before opening it).
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <new>

#include "base/utf8.h"
#include "base/wide_pattern.h"
#include "base/wide_string.h"
#include "host_file_operations.h"

namespace nimbora {

// Unbuffered: the text layer reads and writes in chunks of its own.
struct Stream {
  int descriptor;
};

struct Search {
  DIR* directory;
  char16_t pattern[kPathCapacity];
  int dotsGiven;
  bool hasPending;
  DirectoryEntry pending;  // the first real entry, read ahead to tell an empty directory
};

namespace {

template <typename Object>
Object* Hand(FileSystem* self, int descriptor, Object value) {
  Object* object = new (std::nothrow) Object(value);
  if (object == nullptr) {
    close(descriptor);
    Fail(self, kErrorNotEnoughMemory);
  }
  return object;
}

}  // namespace

// ---- Streams ----

namespace {

bool OpenFlags(const char16_t* mode, int* flags) {
  if (WideCompareNoCase(mode, u"r") == 0) *flags = O_RDONLY;
  else if (WideCompareNoCase(mode, u"r+") == 0) *flags = O_RDWR;
  else if (WideCompareNoCase(mode, u"w+") == 0) *flags = O_RDWR | O_CREAT | O_TRUNC;
  else return false;
  return true;
}

int SeekOrigin(int origin) {
  if (origin == kSeekCurrent) return SEEK_CUR;
  return origin == kSeekEnd ? SEEK_END : SEEK_SET;
}

bool IsKnownOrigin(int origin) {
  return origin == kSeekSet || origin == kSeekCurrent || origin == kSeekEnd;
}

}  // namespace

Stream* HostOpen(FileSystem* self, const char16_t* path, const char16_t* mode) {
  int flags;
  char hostPath[kHostPathCapacity];
  if (!OpenFlags(mode, &flags)) {
    Fail(self, kErrorInvalidParameter);
    return nullptr;
  }
  struct stat status;
  if (!MapPath(self, path, hostPath)) return nullptr;
  int descriptor = OpenUsableFile(self, hostPath, flags, 0666, &status);
  if (descriptor >= 0 && (flags & O_CREAT) != 0) NoteOwnChange(self, hostPath, true);
  return descriptor < 0 ? nullptr : Hand(self, descriptor, Stream{descriptor});
}

size_t HostRead(FileSystem* self, Stream* stream, void* buffer, size_t size) {
  size_t done = 0;
  while (done < size) {
    ssize_t got = read(stream->descriptor, static_cast<char*>(buffer) + done, size - done);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      FailWithErrno(self);
      break;
    }
    done += static_cast<size_t>(got);
  }
  return done;
}

size_t HostWrite(FileSystem* self, Stream* stream, const void* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    ssize_t put = write(stream->descriptor, static_cast<const char*>(data) + done, size - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      FailWithErrno(self);
      break;
    }
    done += static_cast<size_t>(put);
  }
  return done;
}

int HostSeek(FileSystem* self, Stream* stream, long long offset, int origin) {
  if (!IsKnownOrigin(origin)) return Fail(self, kErrorInvalidParameter);
  if (lseek(stream->descriptor, static_cast<off_t>(offset), SeekOrigin(origin)) >= 0) return 1;
  return errno == EINVAL ? Fail(self, kErrorNegativeSeek) : FailWithErrno(self);
}

long long HostTell(FileSystem* self, Stream* stream) {
  off_t position = lseek(stream->descriptor, 0, SEEK_CUR);
  if (position < 0) FailWithErrno(self);
  return position;
}

int HostClose(FileSystem* self, Stream* stream) {
  int result = close(stream->descriptor);
  delete stream;
  return result == 0 ? 1 : FailWithErrno(self);
}

int HostFlushStream(FileSystem* self, Stream* stream) {
  if (fdatasync(stream->descriptor) == 0) return 1;
  return FailWithErrno(self);
}

// ---- Searches ----

namespace {

// "\dir\*.*" into "\dir\" and "*.*"; a pattern without a separator is in the
// root. The directory keeps its separator, so its last name is trimmed as a
// name a separator follows.
bool SplitPattern(const char16_t* full, char16_t* directory, char16_t* pattern) {
  int length = WideLength(full);
  if (length >= kPathCapacity) return false;
  int separator = length - 1;
  while (separator >= 0 && !IsPathSeparator(full[separator])) --separator;
  WideCopyBounded(directory, full, separator + 2);
  WideCopy(pattern, full + separator + 1);
  return true;
}

uint32_t AttributesOf(const struct stat& status) {
  uint32_t attributes = 0;
  if (S_ISDIR(status.st_mode)) attributes |= kAttributeDirectory;
  if (!S_ISLNK(status.st_mode) && IsReadOnlyMode(status.st_mode)) attributes |= kAttributeReadOnly;
  return attributes == 0 ? kAttributeNormal : attributes;
}

bool ReadMatchingEntry(Search* search, DirectoryEntry* entry) {
  while (dirent* found = readdir(search->directory)) {
    struct stat status;
    if (!IsDeviceName(found->d_name) || !Utf16FromUtf8(found->d_name, entry->name, kPathCapacity) ||
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

// A missing directory is a missing path (3), as on the device; searching in
// a file (or a link) as if it were a directory is refused with the device's
// own code, which the logic does not take for "nothing there".
uint32_t OpenDirectoryError(const char* hostPath) {
  int error = errno;
  struct stat status;
  if (error == ENOENT) return kErrorPathNotFound;
  if (lstat(hostPath, &status) == 0 && !S_ISDIR(status.st_mode)) return kErrorDirectory;
  return DeviceError(error, hostPath);
}

DIR* OpenDirectory(FileSystem* self, const char16_t* path) {
  char hostPath[kHostPathCapacity];
  if (!MapPath(self, path, hostPath)) return nullptr;
  int descriptor = open(hostPath, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (descriptor < 0) {
    Fail(self, OpenDirectoryError(hostPath));
    return nullptr;
  }
  DIR* directory = fdopendir(descriptor);
  if (directory == nullptr) {
    FailWithErrno(self, hostPath);
    close(descriptor);
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

// ---- Directories and files ----

namespace {

// Maps path and reads the status of what it names, without following a link.
bool StatusOf(FileSystem* self, const char16_t* path, char* hostPath, struct stat* status) {
  if (!MapPath(self, path, hostPath)) return false;
  if (lstat(hostPath, status) == 0) return true;
  return FailWithErrno(self, hostPath);
}

// Makes the entries of the directory holding hostPath durable.
bool FlushParentDirectory(char* hostPath) {
  char* slash = strrchr(hostPath, '/');
  if (slash == nullptr) return false;
  *slash = 0;
  int descriptor = open(slash == hostPath ? "/" : hostPath, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  *slash = '/';
  if (descriptor < 0) return false;
  bool flushed = fsync(descriptor) == 0;
  close(descriptor);
  return flushed;
}

// Where the file system cannot rename without replacing, a hard link does
// the same: it fails when the target exists.
int RenameNoReplace(const char* from, const char* to) {
  if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return -1;
  if (link(from, to) != 0) return -1;
  return unlink(from);
}

}  // namespace

// Matching names ignoring case makes "DATA" an existing "data": 183.
int HostCreateDirectory(FileSystem* self, const char16_t* path) {
  char hostPath[kHostPathCapacity];
  struct stat status;
  if (!MapPath(self, path, hostPath)) return 0;
  if (lstat(hostPath, &status) == 0) return Fail(self, kErrorAlreadyExists);
  if (mkdir(hostPath, 0777) != 0) return FailWithErrno(self, hostPath);
  NoteMadeDirectory(self, hostPath);
  return 1;
}

// The device's "\" can never be removed, whatever path names it.
int HostRemoveDirectory(FileSystem* self, const char16_t* path) {
  char hostPath[kHostPathCapacity];
  struct stat status;
  if (!StatusOf(self, path, hostPath, &status)) return 0;
  if (!S_ISDIR(status.st_mode)) return Fail(self, kErrorPathNotFound);
  if (IsDeviceRoot(self, hostPath)) return Fail(self, kErrorAccessDenied);
  if (rmdir(hostPath) != 0) return FailWithErrno(self, hostPath);
  NoteRemovedDirectory(self, hostPath);
  return 1;
}

// The mode bits are checked here because root may unlink anything.
int HostDeleteFile(FileSystem* self, const char16_t* path) {
  char hostPath[kHostPathCapacity];
  struct stat status;
  if (!StatusOf(self, path, hostPath, &status)) return 0;
  if (S_ISDIR(status.st_mode)) return Fail(self, kErrorAccessDenied);
  if (!S_ISLNK(status.st_mode) && IsReadOnlyMode(status.st_mode)) {
    return Fail(self, kErrorAccessDenied);
  }
  if (unlink(hostPath) != 0) return FailWithErrno(self, hostPath);
  NoteOwnChange(self, hostPath, false);
  return 1;
}

// Only the read-only flag has a host form. A link has no attributes of its
// own, and changing its target's would reach past the link.
int HostSetAttributes(FileSystem* self, const char16_t* path, uint32_t attributes) {
  char hostPath[kHostPathCapacity];
  struct stat status;
  if (!StatusOf(self, path, hostPath, &status)) return 0;
  if (S_ISLNK(status.st_mode)) return 1;
  mode_t mode = status.st_mode & 07777;
  mode = (attributes & kAttributeReadOnly) != 0 ? mode & ~0222 : mode | S_IWUSR;
  if (chmod(hostPath, mode) == 0) return 1;
  return FailWithErrno(self, hostPath);
}

// A move never replaces: the replace protocol above it relies on that to
// tell a finished step from an unfinished one.
int HostMoveFile(FileSystem* self, const char16_t* from, const char16_t* to) {
  char hostFrom[kHostPathCapacity];
  char hostTo[kHostPathCapacity];
  struct stat status;
  if (!StatusOf(self, from, hostFrom, &status) || !MapPath(self, to, hostTo)) return 0;
  if (S_ISDIR(status.st_mode)) return Fail(self, kErrorAccessDenied);
  if (lstat(hostTo, &status) == 0) return Fail(self, kErrorAlreadyExists);
  if (RenameNoReplace(hostFrom, hostTo) != 0) return FailWithErrno(self, hostTo);
  NoteOwnChange(self, hostFrom, false);
  NoteOwnChange(self, hostTo, true);
  if (!FlushParentDirectory(hostTo) || !FlushParentDirectory(hostFrom)) {
    return FailWithErrno(self, hostTo);
  }
  return 1;
}

int HostFlushVolume(FileSystem* self, const char16_t* path) {
  char hostPath[kHostPathCapacity];
  if (!MapPath(self, path, hostPath)) return 0;
  int descriptor = open(hostPath, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (descriptor < 0) return FailWithErrno(self, hostPath);
  int synced = syncfs(descriptor);
  int error = errno;
  close(descriptor);
  if (synced == 0) return 1;
  errno = error;
  return FailWithErrno(self, hostPath);
}

}  // namespace nimbora
