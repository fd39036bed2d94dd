#include "base/wide_pattern.h"

#include "base/wide_string.h"

namespace nimbora {

namespace {

bool MatchesWildcards(const char16_t* pattern, const char16_t* name) {
  if (*pattern == 0) return *name == 0;
  if (*pattern == u'*') {
    for (const char16_t* rest = name;; ++rest) {
      if (MatchesWildcards(pattern + 1, rest)) return true;
      if (*rest == 0) return false;
    }
  }
  if (*name == 0) return false;
  if (*pattern != u'?' && WideCompareNoCasePrefix(pattern, name, 1) != 0) return false;
  return MatchesWildcards(pattern + 1, name + 1);
}

}  // namespace

bool WideMatchesPattern(const char16_t* pattern, const char16_t* name) {
  return WideCompareNoCase(pattern, u"*.*") == 0 || MatchesWildcards(pattern, name);
}

}  // namespace nimbora
