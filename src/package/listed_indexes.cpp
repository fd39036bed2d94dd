#include "package/listed_indexes.h"

#include <climits>

#include "platform/file_system.h"
#include "base/wide_string.h"
#include "profile/profile_reader.h"
#include "profile/profile_stream.h"

namespace nimbora {

namespace {

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
  Stream* stream = OpenStream(descriptionPath, u"r");
  if (stream == nullptr) return 0;
  // Read the way a lookup reads, so these are exactly the lines it judges.
  ChooseProfileEncoding(stream);
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
