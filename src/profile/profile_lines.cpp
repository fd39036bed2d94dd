#include "profile/profile_lines.h"

#include <cstring>

#include "platform/text_stream.h"

namespace nimbora {

namespace {

constexpr char16_t kCarriageReturn = 13;
constexpr char16_t kLineFeed = 10;
// A whole UTF-8 sequence, or a UTF-16 unit and the LF unit after it.
constexpr int kLookAhead = 4;

int Ahead(const ProfileLines* lines) { return lines->filled - lines->next; }

int MoreBeyondView(const ProfileLines* lines) {
  return lines->viewStart + lines->filled < lines->length;
}

// Keeps kLookAhead bytes in view while the file goes on. Every byte up to the
// length taken at the start must come: a short read is a failed one, never
// the end of the file. 0 once a read has failed.
int Refill(ProfileLines* lines) {
  if (lines->failed) return 0;
  if (Ahead(lines) >= kLookAhead || !MoreBeyondView(lines)) return 1;
  int kept = Ahead(lines);
  std::memmove(lines->bytes, lines->bytes + lines->next, static_cast<size_t>(kept));
  lines->viewStart += lines->next;
  lines->next = 0;
  long long left = lines->length - (lines->viewStart + kept);
  long long room = lines->room - kept;
  size_t wanted = static_cast<size_t>(left < room ? left : room);
  size_t got = ReadBytes(lines->stream, lines->bytes + kept, wanted);
  lines->filled = kept + static_cast<int>(got < wanted ? got : wanted);
  lines->failed = got != wanted;
  return !lines->failed;
}

// A UTF-16 file's text starts behind its first two bytes and is made of
// whole units: a lone last byte is no character.
void ChooseEncoding(ProfileLines* lines) {
  lines->utf16 = lines->filled >= 2 && lines->bytes[1] == 0xFE;
  if (!lines->utf16) return;
  lines->next = 2;
  lines->textEnd = lines->length - lines->length % 2;
}

int PeekUnit(ProfileLines* lines, char16_t* unit) {
  if (!Refill(lines) || ProfileLinePosition(lines) + 2 > lines->textEnd) return 0;
  const unsigned char* at = lines->bytes + lines->next;
  *unit = static_cast<char16_t>(at[0] | (at[1] << 8));
  return 1;
}

int TakeUnit(ProfileLines* lines, char16_t* unit) {
  if (!PeekUnit(lines, unit)) return 0;
  lines->next += 2;
  return 1;
}

// Reads a UTF-16 line the way the text stream reads a text line: up to 259
// characters, a line end (CR, LF or CR LF) delivered as one LF at its end.
int ReadUtf16Line(ProfileLines* lines, char16_t* line) {
  int count = 0;
  char16_t unit;
  while (count < kProfileLineCapacity - 1 && TakeUnit(lines, &unit)) {
    char16_t after;
    if (unit == kCarriageReturn && PeekUnit(lines, &after) && after == kLineFeed) lines->next += 2;
    if (unit == kCarriageReturn || unit == kLineFeed) {
      line[count++] = kLineFeed;
      break;
    }
    line[count++] = unit;
  }
  line[count] = 0;
  return count > 0;
}

int ReadTextModeLine(ProfileLines* lines, char16_t* line) {
  TextLine decoded{line, kProfileLineCapacity, 0, 0};
  line[0] = 0;
  while (!decoded.complete && Refill(lines)) {
    lines->next += DecodeTextLine(&decoded, lines->bytes + lines->next, Ahead(lines),
                                  MoreBeyondView(lines));
  }
  return decoded.length > 0;
}

}  // namespace

long long ProfileFileLength(Stream* stream) {
  if (!SeekStream(stream, 0, kSeekEnd)) return -1;
  long long length = StreamPosition(stream);
  return length >= 0 && SeekStream(stream, 0, kSeekSet) ? length : -1;
}

int StartStreamLines(ProfileLines* lines, Stream* stream, unsigned char* block) {
  long long length = ProfileFileLength(stream);
  *lines = ProfileLines{stream, block, kProfileBlockSize, 0, 0, 0, length, length, 0, length < 0};
  if (!Refill(lines)) return 0;
  ChooseEncoding(lines);
  return 1;
}

void StartMemoryLines(ProfileLines* lines, unsigned char* bytes, int length) {
  *lines = ProfileLines{nullptr, bytes, length, length, 0, 0, length, length, 0, 0};
  ChooseEncoding(lines);
}

int ReadProfileLine(ProfileLines* lines, char16_t* line) {
  int read = lines->utf16 ? ReadUtf16Line(lines, line) : ReadTextModeLine(lines, line);
  // A line cut short by a failed read is no line.
  return read && !lines->failed;
}

long long ProfileLinePosition(const ProfileLines* lines) { return lines->viewStart + lines->next; }

int EncodeProfileText(const ProfileLines* lines, const char16_t* text, unsigned char* bytes) {
  if (!lines->utf16) return EncodeText(text, bytes);
  unsigned char* at = bytes;
  for (; *text != 0; ++text) {
    if (*text == kLineFeed) {
      *at++ = kCarriageReturn;
      *at++ = 0;
    }
    *at++ = static_cast<unsigned char>(*text & 0xFF);
    *at++ = static_cast<unsigned char>(*text >> 8);
  }
  return static_cast<int>(at - bytes);
}

}  // namespace nimbora
