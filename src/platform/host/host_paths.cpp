#include "platform/host/host_paths.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "platform/file_system.h"
#include "platform/host/host_name_search.h"
#include "platform/host/host_utf8.h"
#include "base/wide_string.h"

namespace nimbora {

namespace {

// A component of up to 259 units takes at most 3 bytes a unit in UTF-8.
constexpr size_t kHostNameCapacity = 3 * kPathCapacity;

struct HostPath {
  char* text;
  size_t capacity;
  size_t length;
  size_t rootLength;
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

// Looks in directory for an entry whose name equals name ignoring case.
bool FindEntryNoCase(const char* directory, const char16_t* name, char* found, size_t capacity) {
  int descriptor = open(directory, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor < 0) return false;
  bool matched = FindNameNoCase(descriptor, name, found, capacity);
  close(descriptor);
  return matched;
}

bool AppendComponent(HostPath* path, const char16_t* begin, int length) {
  char16_t name[kPathCapacity];
  char spelled[kHostNameCapacity];
  if (path->endsInLink || length >= kPathCapacity) return false;
  WideCopyBounded(name, begin, length + 1);
  if (!HostNameFromWide(name, length, spelled, sizeof spelled)) return false;

  size_t parentLength = path->length;
  if (!AppendName(path, spelled)) return false;
  if (!path->matchesNames) return true;
  struct stat status;
  bool exists = lstat(path->text, &status) == 0;
  if (!exists) {
    CutTo(path, parentLength);
    char found[kHostNameCapacity];
    bool matched = FindEntryNoCase(path->text, name, found, sizeof found);
    if (!AppendName(path, matched ? found : spelled)) return false;
    exists = matched && lstat(path->text, &status) == 0;
  }
  path->endsInLink = exists && S_ISLNK(status.st_mode);
  return true;
}

bool TakeComponent(HostPath* path, const char16_t* begin, int length) {
  if (length == 1 && begin[0] == u'.') return true;
  if (length == 2 && begin[0] == u'.' && begin[1] == u'.') {
    GoUp(path);
    return true;
  }
  return AppendComponent(path, begin, length);
}

bool WalkDevicePath(const char* root, const char16_t* devicePath, char* hostPath, size_t capacity,
                    bool matchesNames) {
  size_t rootLength = strlen(root);
  if (rootLength >= capacity) return false;
  memcpy(hostPath, root, rootLength + 1);
  HostPath path{hostPath, capacity, rootLength, rootLength, matchesNames, false};
  const char16_t* cursor = devicePath;
  const char16_t* component;
  int length;
  while (NextPathComponent(&cursor, &component, &length)) {
    if (!TakeComponent(&path, component, length)) return false;
  }
  return true;
}

}  // namespace

bool MapDevicePath(const char* root, const char16_t* devicePath, char* hostPath, size_t capacity) {
  return WalkDevicePath(root, devicePath, hostPath, capacity, true);
}

bool SpellDevicePath(const char* root, const char16_t* devicePath, char* hostPath, size_t capacity) {
  return WalkDevicePath(root, devicePath, hostPath, capacity, false);
}

}  // namespace nimbora
