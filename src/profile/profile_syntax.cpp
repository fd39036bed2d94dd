#include "profile/profile_syntax.h"

#include "base/wide_string.h"

namespace nimbora {

int IsHeader(const char16_t* line) { return line[0] == u'['; }

int IsHeaderOf(const char16_t* line, const char16_t* section) {
  int length = WideLength(section);
  // The prefix comparison stops at the line's end, so line[length + 1] is
  // only read when the line is long enough to hold it.
  return IsHeader(line) && WideCompareNoCasePrefix(line + 1, section, length) == 0 &&
         line[length + 1] == u']';
}

const char16_t* EntryValue(const char16_t* line, const char16_t* key) {
  int length = WideLength(key);
  if (WideCompareNoCasePrefix(line, key, length) != 0 || line[length] != u'=') return nullptr;
  return line + length + 1;
}

int IsIgnoredLine(const char16_t* line) { return line[0] == 0 || line[0] == u';'; }

int RemoveLineEnd(char16_t* line) {
  int length = WideLength(line);
  if (length == 0 || line[length - 1] != u'\n') return 0;
  line[length - 1] = 0;
  return 1;
}

}  // namespace nimbora
