#include "version/version_values.h"

#include "base/wide_string.h"

namespace nimbora {

namespace {

constexpr int kMinimumVersionLength = 5;
constexpr int kMinimumTimeLength = 12;

// Moves from text to just past the next separator, or to the end of the text.
const char16_t* SkipPast(const char16_t* text, char16_t separator) {
  while (*text != 0 && *text != separator) ++text;
  return *text == separator ? text + 1 : text;
}

uint8_t LowByte(int value) { return static_cast<uint8_t>(static_cast<unsigned>(value) & 0xFFu); }
uint16_t LowWord(int value) {
  return static_cast<uint16_t>(static_cast<unsigned>(value) & 0xFFFFu);
}

bool IsValidTime(const UpdateTime& t) {
  return t.year <= 2099 && t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= 31 &&
         t.hour <= 23 && t.minute <= 59 && t.second <= 59;
}

// The six fields that the Updater uses, in the order that decides "later".
void TimeFields(const UpdateTime* t, int fields[6]) {
  const uint16_t values[6] = {t->year, t->month, t->day, t->hour, t->minute, t->second};
  for (int i = 0; i < 6; ++i) fields[i] = values[i];
}

}  // namespace

bool ParseVersion(const char16_t* text, VersionNumber* version) {
  *version = VersionNumber{};
  if (text == nullptr || WideLength(text) < kMinimumVersionLength) return false;
  version->major = LowByte(WideToInt(text));
  text = SkipPast(text, u'.');
  version->minor = LowByte(WideToInt(text));
  text = SkipPast(text, u'.');
  version->build = LowByte(WideToInt(text));
  return true;
}

void FormatVersion(const VersionNumber* version, char16_t* buffer, int capacity) {
  WideFormat(buffer, capacity, u"%d.%d.%d", version->major, version->minor, version->build);
}

int CompareVersion(const VersionNumber* a, const VersionNumber* b) {
  const int left[3] = {a->major, a->minor, a->build};
  const int right[3] = {b->major, b->minor, b->build};
  for (int i = 0; i < 3; ++i) {
    if (left[i] != right[i]) return left[i] > right[i] ? 1 : -1;
  }
  return 0;
}

void ParseUpdateTime(const char16_t* text, UpdateTime* time) {
  time->year = time->month = time->day = time->hour = time->minute = time->second = 0;
  if (text == nullptr || WideLength(text) < kMinimumTimeLength) return;
  UpdateTime parsed = *time;
  parsed.year = LowWord(WideToInt(text));
  // Each separator search starts where the previous field started, so the
  // digits of that field are passed over by the search itself.
  const char16_t separators[5] = {u'-', u'-', u' ', u':', u':'};
  uint16_t* fields[5] = {&parsed.month, &parsed.day, &parsed.hour, &parsed.minute, &parsed.second};
  for (int i = 0; i < 5; ++i) {
    text = SkipPast(text, separators[i]);
    *fields[i] = LowWord(WideToInt(text));
  }
  if (IsValidTime(parsed)) *time = parsed;
}

void FormatUpdateTime(const UpdateTime* time, char16_t* buffer, int capacity) {
  WideFormat(buffer, capacity, u"%d-%02d-%02d %d:%02d:%02d", time->year, time->month, time->day,
             time->hour, time->minute, time->second);
}

bool IsLaterTime(const UpdateTime* a, const UpdateTime* b) {
  int left[6];
  int right[6];
  TimeFields(a, left);
  TimeFields(b, right);
  for (int i = 0; i < 6; ++i) {
    if (left[i] != right[i]) return left[i] > right[i];
  }
  return false;
}

}  // namespace nimbora
