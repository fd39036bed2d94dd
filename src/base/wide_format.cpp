#include "base/wide_format.h"

namespace nimbora {

namespace {

void PutInt(FormatSink* sink, int value, bool zeroPad, int width) {
  char16_t digits[16];
  int count = 0;
  // Work in unsigned so INT_MIN negates safely.
  unsigned magnitude = value < 0 ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
  do {
    digits[count++] = static_cast<char16_t>(u'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  int signWidth = value < 0 ? 1 : 0;
  char16_t padding = zeroPad ? u'0' : u' ';
  if (value < 0 && zeroPad) sink->put(sink, u"-", 1);
  for (int i = count + signWidth; i < width; ++i) sink->put(sink, &padding, 1);
  if (value < 0 && !zeroPad) sink->put(sink, u"-", 1);
  while (count > 0) sink->put(sink, &digits[--count], 1);
}

void PutString(FormatSink* sink, const char16_t* text) {
  if (text == nullptr) return;
  int length = 0;
  while (text[length] != 0) ++length;
  sink->put(sink, text, length);
}

}  // namespace

void FormatWide(FormatSink* sink, const char16_t* format, va_list arguments) {
  const char16_t* literal = format;
  const char16_t* p = format;
  while (*p != 0) {
    if (*p != u'%') {
      ++p;
      continue;
    }
    if (p > literal) sink->put(sink, literal, static_cast<int>(p - literal));
    ++p;
    bool zeroPad = *p == u'0';
    if (zeroPad) ++p;
    int width = 0;
    while (*p >= u'0' && *p <= u'9') width = width * 10 + (*p++ - u'0');
    if (*p == u's') {
      PutString(sink, va_arg(arguments, const char16_t*));
    } else if (*p == u'd') {
      PutInt(sink, va_arg(arguments, int), zeroPad, width);
    } else if (*p == u'%') {
      sink->put(sink, u"%", 1);
    } else {
      return;  // unsupported conversion: stop rather than misread arguments
    }
    literal = ++p;
  }
  if (p > literal) sink->put(sink, literal, static_cast<int>(p - literal));
}

}  // namespace nimbora
