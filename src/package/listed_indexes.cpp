#include "package/listed_indexes.h"

#include <climits>

#include "platform/file_system.h"
#include "platform/wide_string.h"
#include "profile/profile_reader.h"

namespace nimbora {

namespace {

// Opens the description and decides its encoding the way a lookup does, so
// that the lines read here are exactly the lines a lookup judges.
Stream* OpenDescriptionLines(const char16_t* path) {
  Stream* stream = OpenStream(path, u"r");
  if (stream == nullptr) return nullptr;
  unsigned char mark[2] = {0, 0};
  Utf16Mode = ReadBytes(stream, mark, 2) == 2 && mark[1] == 0xFE ? 1 : 0;
  if (Utf16Mode == 0) SeekStream(stream, 0, kSeekSet);
  return stream;
}

// The index a line would answer for, or 0 when it is no list entry.
int IndexOfLine(const char16_t* line, const char16_t* prefix, int prefixLength) {
  if (WideCompareNoCasePrefix(line, prefix, prefixLength) != 0) return 0;
  const char16_t* digit = line + prefixLength;
  if (*digit < u'1' || *digit > u'9') return 0;
  long long index = 0;
  for (; *digit >= u'0' && *digit <= u'9'; ++digit) {
    // Saturating keeps the index an upper bound of the key the line matches.
    if (index <= INT_MAX) index = index * 10 + (*digit - u'0');
  }
  if (*digit != u'=') return 0;
  return index > INT_MAX ? INT_MAX : static_cast<int>(index);
}

}  // namespace

int NextListedIndex(const char16_t* prefix, int after, const char16_t* descriptionPath) {
  Stream* stream = OpenDescriptionLines(descriptionPath);
  if (stream == nullptr) return 0;
  int prefixLength = WideLength(prefix);
  int next = 0;
  char16_t line[kProfileLineCapacity];
  while (ReadProfileLine(line, stream)) {
    int index = IndexOfLine(line, prefix, prefixLength);
    if (index > after && (next == 0 || index < next)) next = index;
  }
  CloseStream(stream);
  return next;
}

}  // namespace nimbora
