#include "platform/host/host_copy_files.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstring>

#include "platform/file_system.h"
#include "platform/host/host_backend.h"
#include "platform/host/host_name_search.h"
#include "platform/host/host_paths.h"
#include "platform/host/host_utf8.h"

namespace nimbora {

namespace {

// One lookup that fails (ELOOP) on a link anywhere on the path, the last
// name included; so a path that opens passes through no link below the root.
// A kernel without openat2 fails every time, leaving all to the path walk.
int OpenWithoutLinks(const char* path, int flags) {
  struct open_how how;
  memset(&how, 0, sizeof how);
  how.flags = static_cast<uint64_t>(flags | O_NOFOLLOW | O_CLOEXEC);
  how.resolve = RESOLVE_NO_SYMLINKS;
  return static_cast<int>(syscall(SYS_openat2, AT_FDCWD, path, &how, sizeof how));
}

int KeepIfUsable(int descriptor, bool writing, struct stat* status) {
  if (descriptor < 0 || IsUsableFile(descriptor, writing, status)) return descriptor;
  close(descriptor);
  return -1;
}

// The directory is read right before the name is created in it, through the
// same descriptor, so "MAIN.INI" on disk is never joined by a new "main.ini".
int CreateInDirectory(int directory, const char* name) {
  char16_t wide[kPathCapacity];
  char found[NAME_MAX + 1];
  if (!WideFromHostName(name, wide, kPathCapacity) ||
      FindNameNoCase(directory, wide, found, sizeof found)) {
    return -1;
  }
  return openat(directory, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
}

// The parent directory, spelled exactly, is opened first: the name is then
// looked up (and, when new, created) in it alone, without another path walk.
// Only a name below the root is opened this way.
int OpenSpelledTarget(char* path, size_t rootLength, struct stat* status) {
  char* slash = strrchr(path, '/');
  if (slash == nullptr || static_cast<size_t>(slash - path) < rootLength) return -1;
  *slash = 0;
  int directory = OpenWithoutLinks(path, O_RDONLY | O_DIRECTORY);
  *slash = '/';
  if (directory < 0) return -1;
  const char* name = slash + 1;
  int descriptor = openat(directory, name, O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
  if (descriptor < 0 && errno == ENOENT) descriptor = CreateInDirectory(directory, name);
  close(directory);
  return KeepIfUsable(descriptor, true, status);
}

}  // namespace

bool OpenSpelledFiles(const char* root, const char16_t* from, const char16_t* to,
                      CopyFiles* files) {
  char source[kHostPathCapacity];
  if (!SpellDevicePath(root, from, source, sizeof source) ||
      !SpellDevicePath(root, to, files->targetPath, sizeof files->targetPath)) {
    return false;
  }
  files->input = KeepIfUsable(OpenWithoutLinks(source, O_RDONLY), false, &files->source);
  if (files->input < 0) return false;
  files->output = OpenSpelledTarget(files->targetPath, strlen(root), &files->target);
  if (files->output >= 0) return true;
  close(files->input);
  return false;
}

}  // namespace nimbora
