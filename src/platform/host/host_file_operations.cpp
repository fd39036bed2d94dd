// Directory and file operations on device paths. Every check looks at the
// entry itself (lstat): a link is a file, and deleting it removes the link.
#include <sys/stat.h>
#include <unistd.h>

#include "platform/host/host_backend.h"

namespace nimbora {

namespace {

// Maps path and reads the status of what it names, without following a link.
bool StatusOf(FileSystem* self, const char16_t* path, char* hostPath, struct stat* status) {
  if (!MapPath(self, path, hostPath)) return false;
  if (lstat(hostPath, status) == 0) return true;
  return FailWithErrno(self, hostPath);
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

}  // namespace nimbora
