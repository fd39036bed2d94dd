// The draw log: one JSON object per line for each drawing and window event,
// stamped with the clock, so runs can be checked without looking at pixels.
#include <cstdarg>
#include <cstdio>

#include "platform/clock.h"
#include "platform/host/host_internal.h"

namespace nimbora {

namespace {

FILE* drawLog = nullptr;

void AppendUtf8(std::string* out, char32_t c) {
  if (c < 0x80) {
    *out += static_cast<char>(c);
  } else if (c < 0x800) {
    *out += static_cast<char>(0xC0 | (c >> 6));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *out += static_cast<char>(0xE0 | (c >> 12));
    *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | (c >> 18));
    *out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

bool OpenDrawLog(const char* path, std::string* error) {
  if (path == nullptr) return true;
  drawLog = fopen(path, "w");
  if (drawLog == nullptr) *error = std::string("cannot write the draw log ") + path;
  return drawLog != nullptr;
}

void CloseDrawLog() {
  if (drawLog != nullptr) fclose(drawLog);
  drawLog = nullptr;
}

void LogEvent(const char* format, ...) {
  if (drawLog == nullptr) return;
  unsigned long long now = CurrentClock() == nullptr ? 0 : ClockMilliseconds();
  fprintf(drawLog, "{\"t\":%llu,", now);
  va_list arguments;
  va_start(arguments, format);
  vfprintf(drawLog, format, arguments);
  va_end(arguments);
  fputs("}\n", drawLog);
  fflush(drawLog);  // a run that ends in exit() keeps its log
}

// Lone surrogates become U+FFFD so that the output is always valid UTF-8.
std::string Utf8Of(const char16_t* text, int length) {
  std::string out;
  for (int i = 0; i < length; ++i) {
    char32_t c = text[i];
    bool high = c >= 0xD800 && c < 0xDC00;
    if (high && i + 1 < length && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;
    }
    AppendUtf8(&out, c);
  }
  return out;
}

std::string JsonString(const char16_t* text, int length) {
  std::string out = "\"";
  for (char c : Utf8Of(text, length)) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escaped[8];
      snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

}  // namespace nimbora
