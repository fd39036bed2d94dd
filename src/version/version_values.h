// The installed/package version number and update time, their text forms and order.
#pragma once

#include <cstdint>

namespace nimbora {

struct VersionNumber {
  uint8_t major;
  uint8_t minor;
  uint8_t build;
};

// Laid out as the device's date-time record; dayOfWeek and milliseconds unused.
struct UpdateTime {
  uint16_t year;
  uint16_t month;
  uint16_t dayOfWeek;
  uint16_t day;
  uint16_t hour;
  uint16_t minute;
  uint16_t second;
  uint16_t milliseconds;
};

bool ParseVersion(const char16_t* text, VersionNumber* version);
void FormatVersion(const VersionNumber* version, char16_t* buffer, int capacity);
int CompareVersion(const VersionNumber* a, const VersionNumber* b);
void ParseUpdateTime(const char16_t* text, UpdateTime* time);
void FormatUpdateTime(const UpdateTime* time, char16_t* buffer, int capacity);
bool IsLaterTime(const UpdateTime* a, const UpdateTime* b);

}  // namespace nimbora
