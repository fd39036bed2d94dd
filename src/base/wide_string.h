// 16-bit string helpers with the device runtime's semantics. Capacities are
// counted in characters, the terminating null included.
#pragma once

#include <cstddef>

namespace nimbora {

int WideLength(const char16_t* text);
// The device takes a slash for a backslash in paths.
inline bool IsPathSeparator(char16_t c) { return c == u'\\' || c == u'/'; }
void WideCopy(char16_t* destination, const char16_t* source);
// Copies at most capacity - 1 characters and always terminates (capacity > 0).
void WideCopyBounded(char16_t* destination, const char16_t* source, int capacity);
// Appends as much of source as fits; destination stays terminated.
void WideAppendBounded(char16_t* destination, const char16_t* source, int capacity);
// Unicode simple case folding (the Basic Multilingual Plane): the one rule by
// which names, keys and paths match ignoring letter case, as the device's
// file systems match names. Folds towards lower case ("Ω" to "ω").
char16_t FoldCase(char16_t c);
// Compare folded characters; <0, 0, >0 like wcsicmp.
int WideCompareNoCase(const char16_t* a, const char16_t* b);
int WideCompareNoCasePrefix(const char16_t* a, const char16_t* b, int count);
// Bounded print supporting %s (const char16_t*), %d and %02d (int) and %%.
// Returns the length written; output is truncated to capacity - 1 characters.
int WideFormat(char16_t* destination, int capacity, const char16_t* format, ...);
// Like _wtoi: skips leading white space, optional sign, digits up to the
// first other character; 0 without digits; saturates beyond the int range.
int WideToInt(const char16_t* text);

}  // namespace nimbora
