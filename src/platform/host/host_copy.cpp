// Copying a file over another in place, as the device does: the target is
// opened, emptied and written, never replaced by a new file.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/host/host_backend.h"

namespace nimbora {

namespace {

constexpr size_t kFallbackChunk = 1 << 20;
constexpr size_t kKernelChunk = 1 << 30;

// copy_file_range is missing or refused across some file systems.
bool KernelCannotCopy(int hostError) {
  return hostError == EXDEV || hostError == ENOSYS || hostError == EINVAL ||
         hostError == EOPNOTSUPP || hostError == EPERM;
}

bool CopyByReading(int from, int to) {
  char* buffer = static_cast<char*>(malloc(kFallbackChunk));
  if (buffer == nullptr) return false;
  ssize_t got;
  bool ok = true;
  while (ok && (got = read(from, buffer, kFallbackChunk)) != 0) {
    if (got < 0) {
      ok = errno == EINTR;
      continue;
    }
    for (ssize_t done = 0; ok && done < got;) {
      ssize_t put = write(to, buffer + done, static_cast<size_t>(got - done));
      if (put > 0) done += put;
      ok = put > 0 || (put < 0 && errno == EINTR);
    }
  }
  int saved = errno;
  free(buffer);
  errno = saved;
  return ok;
}

// Both descriptors start at offset 0; each way of copying moves them on, so
// the fallback continues where the kernel stopped.
bool CopyContents(int from, int to) {
  for (;;) {
    ssize_t copied = copy_file_range(from, nullptr, to, nullptr, kKernelChunk, 0);
    if (copied == 0) return true;
    if (copied > 0 || errno == EINTR) continue;
    return KernelCannotCopy(errno) && CopyByReading(from, to);
  }
}

// The target takes the source's read-only flag, as the device's copy does,
// and on the host its execute bits too, so a copied program still starts.
bool CopyOpenFiles(FileSystem* self, int from, const struct stat& source, int to,
                   const struct stat& target, const char* targetPath) {
  // Emptying the target would lose the source when both are one file.
  if (source.st_dev == target.st_dev && source.st_ino == target.st_ino) {
    return Fail(self, kErrorSharingViolation);
  }
  bool emptied = target.st_size == 0 || ftruncate(to, 0) == 0;
  bool copied = emptied && CopyContents(from, to) &&
                fchmod(to, source.st_mode & 07777) == 0;
  return copied || FailWithErrno(self, targetPath);
}

}  // namespace

int HostCopyFile(FileSystem* self, const char16_t* from, const char16_t* to) {
  char source[kHostPathCapacity];
  char target[kHostPathCapacity];
  if (!MapPath(self, from, source) || !MapPath(self, to, target)) return 0;
  struct stat sourceStatus;
  struct stat targetStatus;
  int input = OpenHostFile(self, source, O_RDONLY, &sourceStatus);
  if (input < 0) return 0;
  int output = OpenHostFile(self, target, O_WRONLY | O_CREAT, &targetStatus);
  if (output < 0) {
    close(input);
    return 0;
  }
  bool copied = CopyOpenFiles(self, input, sourceStatus, output, targetStatus, target);
  close(input);
  if (close(output) != 0 && copied) return FailWithErrno(self, target);
  return copied ? 1 : 0;
}

}  // namespace nimbora
