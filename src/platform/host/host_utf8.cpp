#include "platform/host/host_utf8.h"

#include <cstring>

#include "platform/utf8.h"

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

bool WideFromHostName(const char* name, char16_t* out, int capacity) {
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(name);
  int left = static_cast<int>(strlen(name));
  int used = 0;
  while (left > 0) {
    char32_t codePoint;
    int taken = DecodeUtf8(bytes, left, &codePoint);
    bytes += taken;
    left -= taken;
    char16_t units[2];
    int count = SplitCodePoint(codePoint, units);
    if (used + count >= capacity) return false;
    for (int i = 0; i < count; ++i) out[used++] = units[i];
  }
  if (used >= capacity) return false;
  out[used] = 0;
  return true;
}

}  // namespace nimbora
