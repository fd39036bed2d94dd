#include "base/wide_string.h"

#include <algorithm>
#include <climits>
#include <cstdarg>

#include "base/case_folding_table.h"
#include "base/wide_format.h"

namespace nimbora {

namespace {

bool IsSpace(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

}  // namespace

int WideLength(const char16_t* text) {
  int length = 0;
  while (text[length] != 0) ++length;
  return length;
}

void WideCopy(char16_t* destination, const char16_t* source) {
  while ((*destination++ = *source++) != 0) {
  }
}

void WideCopyBounded(char16_t* destination, const char16_t* source, int capacity) {
  if (capacity <= 0) return;
  int i = 0;
  for (; i < capacity - 1 && source[i] != 0; ++i) destination[i] = source[i];
  destination[i] = 0;
}

void WideAppendBounded(char16_t* destination, const char16_t* source, int capacity) {
  int length = WideLength(destination);
  if (length < capacity) WideCopyBounded(destination + length, source, capacity - length);
}

char16_t FoldCase(char16_t c) {
  if (c < 0x80) return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 0x20) : c;
  const CaseFoldingRun* end = kCaseFoldingRuns + sizeof kCaseFoldingRuns / sizeof kCaseFoldingRuns[0];
  const CaseFoldingRun* run = std::upper_bound(
      kCaseFoldingRuns, end, c, [](char16_t unit, const CaseFoldingRun& r) { return unit < r.first; });
  if (run == kCaseFoldingRuns) return c;
  --run;
  if (c > run->last || (c - run->first) % run->stride != 0) return c;
  return static_cast<char16_t>(c + run->offset);
}

int WideCompareNoCasePrefix(const char16_t* a, const char16_t* b, int count) {
  for (int i = 0; i < count; ++i) {
    char16_t x = FoldCase(a[i]);
    char16_t y = FoldCase(b[i]);
    if (x != y) return x < y ? -1 : 1;
    if (x == 0) return 0;
  }
  return 0;
}

int WideCompareNoCase(const char16_t* a, const char16_t* b) {
  return WideCompareNoCasePrefix(a, b, INT_MAX);
}

namespace {

struct BoundedSink {
  FormatSink base;
  char16_t* destination;
  int capacity;
  int length;
};

void PutBounded(FormatSink* self, const char16_t* text, int length) {
  BoundedSink* sink = reinterpret_cast<BoundedSink*>(self);
  for (int i = 0; i < length && sink->length < sink->capacity - 1; ++i) {
    sink->destination[sink->length++] = text[i];
  }
}

}  // namespace

int WideFormat(char16_t* destination, int capacity, const char16_t* format, ...) {
  if (capacity <= 0) return 0;
  BoundedSink sink{{PutBounded}, destination, capacity, 0};
  va_list arguments;
  va_start(arguments, format);
  FormatWide(&sink.base, format, arguments);
  va_end(arguments);
  destination[sink.length] = 0;
  return sink.length;
}

int WideToInt(const char16_t* text) {
  while (IsSpace(*text)) ++text;
  bool negative = *text == u'-';
  if (*text == u'-' || *text == u'+') ++text;
  // Accumulate towards the sign so INT_MIN is reachable, saturating.
  long long value = 0;
  for (; *text >= u'0' && *text <= u'9'; ++text) {
    value = value * 10 + (*text - u'0');
    if (value > static_cast<long long>(INT_MAX) + 1) break;
  }
  if (negative) return value > static_cast<long long>(INT_MAX) + 1 ? INT_MIN : static_cast<int>(-value);
  return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

}  // namespace nimbora
