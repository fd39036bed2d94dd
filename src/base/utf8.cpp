#include "base/utf8.h"

#include <cstring>

namespace nimbora {

namespace {

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

struct SequenceShape {
  int length;
  char32_t minimum;  // smallest code point allowed, which rules out overlong forms
  unsigned char leadMask;
};

bool ShapeOf(unsigned char lead, SequenceShape* shape) {
  if (lead >= 0xC2 && lead <= 0xDF) *shape = {2, 0x80, 0x1F};
  else if (lead >= 0xE0 && lead <= 0xEF) *shape = {3, 0x800, 0x0F};
  else if (lead >= 0xF0 && lead <= 0xF4) *shape = {4, 0x10000, 0x07};
  else return false;
  return true;
}

}  // namespace

int DecodeUtf8(const unsigned char* bytes, int count, char32_t* codePoint) {
  *codePoint = bytes[0];
  SequenceShape shape;
  if (bytes[0] < 0x80 || !ShapeOf(bytes[0], &shape) || count < shape.length) return 1;
  char32_t value = bytes[0] & shape.leadMask;
  for (int i = 1; i < shape.length; ++i) {
    if (!IsContinuation(bytes[i])) return 1;
    value = (value << 6) | (bytes[i] & 0x3F);
  }
  bool surrogate = value >= 0xD800 && value <= 0xDFFF;
  if (value < shape.minimum || value > 0x10FFFF || surrogate) return 1;
  *codePoint = value;
  return shape.length;
}

int EncodeUtf8(char32_t codePoint, unsigned char* bytes) {
  if (codePoint < 0x80) {
    bytes[0] = static_cast<unsigned char>(codePoint);
    return 1;
  }
  int length = codePoint < 0x800 ? 2 : codePoint < 0x10000 ? 3 : 4;
  static const unsigned char kLeadMarks[] = {0, 0, 0xC0, 0xE0, 0xF0};
  for (int i = length - 1; i > 0; --i) {
    bytes[i] = static_cast<unsigned char>(0x80 | (codePoint & 0x3F));
    codePoint >>= 6;
  }
  bytes[0] = static_cast<unsigned char>(kLeadMarks[length] | codePoint);
  return length;
}

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

char32_t JoinSurrogates(char16_t high, char16_t low) {
  return 0x10000 + ((static_cast<char32_t>(high) - 0xD800) << 10) + (low - 0xDC00);
}

int SplitCodePoint(char32_t codePoint, char16_t* units) {
  if (codePoint < 0x10000) {
    units[0] = static_cast<char16_t>(codePoint);
    return 1;
  }
  codePoint -= 0x10000;
  units[0] = static_cast<char16_t>(0xD800 + (codePoint >> 10));
  units[1] = static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF));
  return 2;
}

bool Utf8FromUtf16(const char16_t* text, int length, char* out, size_t capacity,
                   char32_t replacement) {
  size_t used = 0;
  for (int i = 0; i < length; ++i) {
    char32_t codePoint = text[i];
    if (IsHighSurrogate(text[i]) && i + 1 < length && IsLowSurrogate(text[i + 1])) {
      codePoint = JoinSurrogates(text[i], text[i + 1]);
      ++i;
    } else if (IsHighSurrogate(text[i]) || IsLowSurrogate(text[i])) {
      if (replacement == 0) return false;
      codePoint = replacement;
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

bool Utf16FromUtf8(const char* text, char16_t* out, int capacity) {
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text);
  int left = static_cast<int>(strlen(text));
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
