#include "platform/host/host_utf8.h"

#include <cstring>

#include "base/utf8.h"
#include "base/wide_string.h"

namespace nimbora {

bool HostNameFromWide(const char16_t* name, int length, char* out, size_t capacity) {
  size_t used = 0;
  for (int i = 0; i < length; ++i) {
    char32_t codePoint = name[i];
    if (IsHighSurrogate(name[i]) && i + 1 < length && IsLowSurrogate(name[i + 1])) {
      codePoint = JoinSurrogates(name[i], name[i + 1]);
      ++i;
    } else if (IsHighSurrogate(name[i]) || IsLowSurrogate(name[i])) {
      return false;
    }
    unsigned char bytes[kUtf8MaxBytes];
    int count = EncodeUtf8(codePoint, bytes);
    if (used + static_cast<size_t>(count) >= capacity) return false;
    memcpy(out + used, bytes, static_cast<size_t>(count));
    used += static_cast<size_t>(count);
  }
  if (used >= capacity) return false;
  out[used] = 0;
  return true;
}

namespace {

// Decodes the next character of a host name into one or two UTF-16 units.
int NextUnits(const unsigned char** bytes, int* left, char16_t units[2]) {
  char32_t codePoint;
  int taken = DecodeUtf8(*bytes, *left, &codePoint);
  *bytes += taken;
  *left -= taken;
  return SplitCodePoint(codePoint, units);
}

}  // namespace

bool WideFromHostName(const char* name, char16_t* out, int capacity) {
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(name);
  int left = static_cast<int>(strlen(name));
  int used = 0;
  while (left > 0) {
    char16_t units[2];
    int count = NextUnits(&bytes, &left, units);
    if (used + count >= capacity) return false;
    for (int i = 0; i < count; ++i) out[used++] = units[i];
  }
  if (used >= capacity) return false;
  out[used] = 0;
  return true;
}

// Decodes as WideFromHostName does, but stops at the first unit that differs:
// a directory scan compares every entry with one name.
bool HostNameEqualsNoCase(const char* hostName, const char16_t* name) {
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(hostName);
  int left = static_cast<int>(strlen(hostName));
  while (left > 0) {
    char16_t units[2];
    int count = NextUnits(&bytes, &left, units);
    for (int i = 0; i < count; ++i, ++name) {
      if (*name == 0 || WideCompareNoCasePrefix(&units[i], name, 1) != 0) return false;
    }
  }
  return *name == 0;
}

}  // namespace nimbora
