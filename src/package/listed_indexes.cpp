#include "package/listed_indexes.h"

#include <climits>

#include "base/wide_string.h"
#include "profile/profile_reader.h"

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

struct IndexSearch {
  const char16_t* prefix;
  int prefixLength;
  int after;
  int next;
};

void TakeLine(const char16_t* line, void* context) {
  IndexSearch* search = static_cast<IndexSearch*>(context);
  int index = IndexOfLine(line, search->prefix, search->prefixLength);
  if (index > search->after && (search->next == 0 || index < search->next)) search->next = index;
}

}  // namespace

int NextListedIndex(const char16_t* prefix, int after, const char16_t* descriptionPath) {
  // Read the way a lookup reads, so these are exactly the lines it judges.
  IndexSearch search{prefix, WideLength(prefix), after, 0};
  ForEachProfileLine(descriptionPath, TakeLine, &search);
  return search.next;
}

}  // namespace nimbora
