// The host's copy of one file over another, as the device copies: the target
// is opened in place, emptied and written, never replaced by a new file.
// Each path is resolved once (host_paths.cpp); from then on the copy works
// on the two descriptors.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <new>

#include "host_file_operations.h"

namespace nimbora {

namespace {

constexpr size_t kFallbackChunk = 1 << 20;
constexpr size_t kKernelChunk = 1 << 30;

struct CopyFiles {
  int input = -1;
  struct stat source;
  int output = -1;
  struct stat target;
  bool created = false;
  HostTarget place;  // the target's path tells the device code of a later failure
};

// Spelled as on disk, the source opens with one kernel lookup; any other
// spelling is matched name by name, which also tells the device's code for
// a refusal.
bool OpenSource(FileSystem* self, const char16_t* from, CopyFiles* files) {
  char path[kHostPathCapacity];
  int input = SpellPath(self, from, path) ? OpenWithoutLinks(self, path, O_RDONLY) : -1;
  if (input < 0) {
    if (!MapPath(self, from, path)) return false;
    input = OpenWithoutLinks(self, path, O_RDONLY);
  }
  files->input = UsableFile(self, input, path, O_RDONLY, &files->source);
  return files->input >= 0;
}

// An existing target in any letter case is written in place; a new one is
// created with the source's mode, so nothing changes the mode afterwards.
bool OpenTarget(FileSystem* self, const char16_t* to, CopyFiles* files) {
  HostTarget* place = &files->place;
  if (!ResolveTarget(self, to, place)) return false;
  if (place->exists) {
    files->output = OpenUsableFile(self, place->path, O_WRONLY, 0, &files->target);
    return files->output >= 0;
  }
  files->output = OpenWithoutLinks(self, place->path, O_WRONLY | O_CREAT | O_EXCL,
                                   files->source.st_mode & 07777);
  if (files->output < 0) return FailWithErrno(self, place->path);
  files->created = true;
  NoteCreatedTarget(self, *place);
  // A file made here is a regular one: it need not wait for its status.
  if (MayBlock(files->output)) return true;
  close(files->output);
  return Fail(self, kErrorAccessDenied);
}

// copy_file_range is missing or refused across some file systems.
bool KernelCannotCopy(int hostError) {
  return hostError == EXDEV || hostError == ENOSYS || hostError == EINVAL ||
         hostError == EOPNOTSUPP || hostError == EPERM;
}

bool CopyByReading(int from, int to) {
  std::unique_ptr<char[]> buffer(new (std::nothrow) char[kFallbackChunk]);
  if (buffer == nullptr) return false;
  ssize_t got;
  bool ok = true;
  while (ok && (got = read(from, buffer.get(), kFallbackChunk)) != 0) {
    if (got < 0) {
      ok = errno == EINTR;
      continue;
    }
    for (ssize_t done = 0; ok && done < got;) {
      ssize_t put = write(to, buffer.get() + done, static_cast<size_t>(got - done));
      if (put > 0) done += put;
      ok = put > 0 || (put < 0 && errno == EINTR);
    }
  }
  return ok;
}

// Both descriptors start at offset 0; each way of copying moves them on, so
// the fallback continues where the kernel stopped. The copy takes the size
// the source had when opened, which saves asking again for the end of it.
bool CopyContents(int from, int to, off_t size) {
  for (off_t done = 0; done < size;) {
    ssize_t copied = copy_file_range(from, nullptr, to, nullptr, kKernelChunk, 0);
    if (copied == 0) return true;
    if (copied > 0) done += copied;
    if (copied > 0 || errno == EINTR) continue;
    return KernelCannotCopy(errno) && CopyByReading(from, to);
  }
  return true;
}

// The target takes the source's read-only flag, as the device's copy does,
// and on the host its execute bits too, so a copied program still starts.
// A new target has them already unless the umask took some away.
bool ModeIsTheSource(FileSystem* self, const CopyFiles& files) {
  mode_t wanted = files.source.st_mode & 07777;
  if (files.created) return (wanted & (HostState(self)->creationMask | 07000)) == 0;
  return (files.target.st_mode & 07777) == wanted;
}

bool CopyOpenFiles(FileSystem* self, const CopyFiles& files) {
  // Emptying the target would lose the source when both are one file.
  if (!files.created && files.source.st_dev == files.target.st_dev &&
      files.source.st_ino == files.target.st_ino) {
    return Fail(self, kErrorSharingViolation);
  }
  bool emptied = files.created || files.target.st_size == 0 || ftruncate(files.output, 0) == 0;
  bool copied = emptied && CopyContents(files.input, files.output, files.source.st_size) &&
                (ModeIsTheSource(self, files) || fchmod(files.output, files.source.st_mode & 07777) == 0);
  return copied || FailWithErrno(self, files.place.path);
}

}  // namespace

int HostCopyFile(FileSystem* self, const char16_t* from, const char16_t* to) {
  CopyFiles files;
  if (!OpenSource(self, from, &files)) return 0;
  if (!OpenTarget(self, to, &files)) {
    close(files.input);
    return 0;
  }
  bool copied = CopyOpenFiles(self, files);
  close(files.input);
  if (close(files.output) != 0 && copied) return FailWithErrno(self, files.place.path);
  return copied ? 1 : 0;
}

}  // namespace nimbora
