// Copying a file over another in place, as the device does: the target is
// opened, emptied and written, never replaced by a new file.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/host/host_backend.h"
#include "platform/host/host_copy_files.h"

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
bool CopyOpenFiles(FileSystem* self, const CopyFiles& files) {
  // Emptying the target would lose the source when both are one file.
  if (files.source.st_dev == files.target.st_dev && files.source.st_ino == files.target.st_ino) {
    return Fail(self, kErrorSharingViolation);
  }
  bool emptied = files.target.st_size == 0 || ftruncate(files.output, 0) == 0;
  bool copied = emptied && CopyContents(files.input, files.output) &&
                fchmod(files.output, files.source.st_mode & 07777) == 0;
  return copied || FailWithErrno(self, files.targetPath);
}

// Each name matched ignoring case, each refusal reported with its code.
bool OpenMappedFiles(FileSystem* self, const char16_t* from, const char16_t* to,
                     CopyFiles* files) {
  char source[kHostPathCapacity];
  if (!MapPath(self, from, source) || !MapPath(self, to, files->targetPath)) return false;
  files->input = OpenHostFile(self, source, O_RDONLY, &files->source);
  if (files->input < 0) return false;
  files->output = OpenHostFile(self, files->targetPath, O_WRONLY | O_CREAT, &files->target);
  if (files->output >= 0) return true;
  close(files->input);
  return false;
}

}  // namespace

int HostCopyFile(FileSystem* self, const char16_t* from, const char16_t* to) {
  CopyFiles files;
  if (!OpenSpelledFiles(HostState(self)->root, from, to, &files) &&
      !OpenMappedFiles(self, from, to, &files)) {
    return 0;
  }
  bool copied = CopyOpenFiles(self, files);
  close(files.input);
  if (close(files.output) != 0 && copied) return FailWithErrno(self, files.targetPath);
  return copied ? 1 : 0;
}

}  // namespace nimbora
