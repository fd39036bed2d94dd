// Directory and file operations on device paths. Every check looks at the
// entry itself (lstat): a link is a file, and deleting it removes the link.
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/host/host_backend.h"

namespace nimbora {

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
  if (mkdir(hostPath, 0777) == 0) return 1;
  return FailWithErrno(self, hostPath);
}

int HostRemoveDirectory(FileSystem* self, const char16_t* path) {
  char hostPath[kHostPathCapacity];
  struct stat status;
  if (!StatusOf(self, path, hostPath, &status)) return 0;
  if (!S_ISDIR(status.st_mode)) return Fail(self, kErrorPathNotFound);
  if (rmdir(hostPath) == 0) return 1;
  return FailWithErrno(self, hostPath);
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
  if (unlink(hostPath) == 0) return 1;
  return FailWithErrno(self, hostPath);
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
  if (!FlushParentDirectory(hostTo) || !FlushParentDirectory(hostFrom)) {
    return FailWithErrno(self, hostTo);
  }
  return 1;
}

int HostFlushVolume(FileSystem* self, const char16_t* path) {
  char hostPath[kHostPathCapacity];
  if (!MapPath(self, path, hostPath)) return 0;
  int descriptor = open(hostPath, O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (descriptor < 0) return FailWithErrno(self, hostPath);
  int synced = syncfs(descriptor);
  int error = errno;
  close(descriptor);
  if (synced == 0) return 1;
  errno = error;
  return FailWithErrno(self, hostPath);
}

}  // namespace nimbora
