// Version and time texts, and the start status word: parsing never reads or
// writes out of bounds, formatting stays within its capacity, a parsed value
// formats to a text that parses back to it, and the orders are strict.
#include <cstring>

#include "base/wide_string.h"
#include "control/start_status.h"
#include "fuzz_input.h"
#include "version/version_values.h"

using namespace nimbora;

namespace {

constexpr int kTextCapacity = 300;
constexpr char16_t kGuard = 0xBEEF;

// Formats into a buffer of the given capacity followed by guard characters.
template <typename Value>
void CheckBoundedFormat(void (*format)(const Value*, char16_t*, int), const Value& value,
                        int capacity) {
  char16_t buffer[64];
  for (char16_t& c : buffer) c = kGuard;
  format(&value, buffer, capacity);
  Check(WideLength(buffer) < capacity);
  for (int i = capacity; i < 64; ++i) Check(buffer[i] == kGuard);
}

bool SameTime(const UpdateTime& a, const UpdateTime& b) {
  return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour &&
         a.minute == b.minute && a.second == b.second;
}

void CheckVersion(const char16_t* text, const char16_t* other, int capacity) {
  VersionNumber version, otherVersion, again;
  bool parsed = ParseVersion(text, &version);
  Check(parsed == (WideLength(text) >= 5));
  if (!parsed) Check(version.major == 0 && version.minor == 0 && version.build == 0);
  char16_t formatted[20];
  FormatVersion(&version, formatted, 20);
  Check(ParseVersion(formatted, &again) && CompareVersion(&version, &again) == 0);
  CheckBoundedFormat(FormatVersion, version, capacity);
  ParseVersion(other, &otherVersion);
  Check(CompareVersion(&version, &otherVersion) == -CompareVersion(&otherVersion, &version));
}

void CheckTime(const char16_t* text, const char16_t* other, int capacity) {
  UpdateTime time, otherTime, again;
  ParseUpdateTime(text, &time);
  char16_t formatted[256];
  FormatUpdateTime(&time, formatted, 256);
  ParseUpdateTime(formatted, &again);
  // The all-zero time formats to a text that parses to all zero again.
  Check(SameTime(time, again));
  CheckBoundedFormat(FormatUpdateTime, time, capacity);
  ParseUpdateTime(other, &otherTime);
  Check(!IsLaterTime(&time, &time));
  Check(!(IsLaterTime(&time, &otherTime) && IsLaterTime(&otherTime, &time)));
  Check(IsLaterTime(&time, &otherTime) || IsLaterTime(&otherTime, &time) ||
        SameTime(time, otherTime));
}

// The word is matched whole and ignoring letter case.
void CheckStartStatus(const char16_t* text) {
  StartStatus status = DecodeStartStatus(text);
  char16_t flipped[kTextCapacity];
  WideCopy(flipped, text);
  for (char16_t* c = flipped; *c != 0; ++c) {
    if ((*c >= u'a' && *c <= u'z') || (*c >= u'A' && *c <= u'Z')) *c ^= 0x20;
  }
  Check(DecodeStartStatus(flipped) == status);
  if (status != StartStatus::None) Check(WideLength(text) == 7);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input{data, size};
  int capacity = 1 + TakeByte(&input) % 32;
  char16_t text[kTextCapacity];
  char16_t other[kTextCapacity];
  TakeText(&input, text, kTextCapacity);
  TakeText(&input, other, kTextCapacity);
  CheckVersion(text, other, capacity);
  CheckTime(text, other, capacity);
  CheckStartStatus(text);
  Check(DecodeStartStatus(nullptr) == StartStatus::None);
  return 0;
}
