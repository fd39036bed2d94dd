#include "package/path_join.h"

#include "platform/file_system.h"
#include "base/wide_string.h"

namespace nimbora {

int JoinPath(char16_t* destination, const char16_t* head, const char16_t* tail) {
  if (WideLength(head) + WideLength(tail) >= kPathCapacity) {
    destination[0] = 0;
    return 0;
  }
  WideFormat(destination, kPathCapacity, u"%s%s", head, tail);
  return 1;
}

int FormDirectoryPrefix(char16_t* prefix, const char16_t* directory) {
  int length = WideLength(directory);
  bool hasBackslash = length > 0 && directory[length - 1] == u'\\';
  return JoinPath(prefix, directory, hasBackslash ? u"" : u"\\");
}

bool EndsWithSeparator(const char16_t* path) {
  int length = WideLength(path);
  return length > 0 && IsPathSeparator(path[length - 1]);
}

}  // namespace nimbora
