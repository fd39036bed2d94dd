#include "profile/profile_stream.h"

#include "platform/text_stream.h"
#include "profile/profile_reader.h"

namespace nimbora {

int Utf16Mode = 0;

namespace {

constexpr char16_t kCarriageReturn = 13;
constexpr char16_t kLineFeed = 10;

// Reads one little-endian unit. A lone last byte is not a unit: the stream
// is put back before it, so that text added at the end stays aligned.
int ReadUnit(Stream* stream, char16_t* unit) {
  unsigned char bytes[2];
  size_t count = ReadBytes(stream, bytes, 2);
  if (count == 2) {
    *unit = static_cast<char16_t>(bytes[0] | (bytes[1] << 8));
    return 1;
  }
  if (count == 1) SeekStream(stream, -1, kSeekCurrent);
  return 0;
}

// A CR LF pair is one line end; a lone CR or LF is one too.
void SkipLineFeedAfterReturn(Stream* stream) {
  char16_t next;
  if (ReadUnit(stream, &next) && next != kLineFeed) SeekStream(stream, -2, kSeekCurrent);
}

// Reads a UTF-16 line the way the text stream reads a text line: up to 259
// characters, a line end delivered as one LF at its end.
int ReadUtf16Line(char16_t* line, Stream* stream) {
  int count = 0;
  char16_t unit;
  while (count < kProfileLineCapacity - 1) {
    if (!ReadUnit(stream, &unit)) {
      // A line that stops without line end must stop at the end of the file;
      // if the stream still goes on, a read failed and the line is no line.
      // The scan sees the stream moved and takes it as a read error.
      if (count > 0 && ReadUnit(stream, &unit)) return 0;
      break;
    }
    if (unit == kCarriageReturn) SkipLineFeedAfterReturn(stream);
    if (unit == kCarriageReturn || unit == kLineFeed) {
      line[count++] = kLineFeed;
      break;
    }
    line[count++] = unit;
  }
  line[count] = 0;
  return count > 0;
}

int WriteUnits(Stream* stream, const char16_t* units, int count) {
  unsigned char bytes[4];
  for (int i = 0; i < count; ++i) {
    bytes[2 * i] = static_cast<unsigned char>(units[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<unsigned char>(units[i] >> 8);
  }
  size_t size = static_cast<size_t>(2 * count);
  return WriteBytes(stream, bytes, size) == size;
}

int WriteUtf16Text(Stream* stream, const char16_t* text) {
  static const char16_t kLineEnd[] = {kCarriageReturn, kLineFeed};
  for (; *text != 0; ++text) {
    int written = *text == kLineFeed ? WriteUnits(stream, kLineEnd, 2) : WriteUnits(stream, text, 1);
    if (!written) return 0;
  }
  return 1;
}

}  // namespace

int ChooseProfileEncoding(Stream* stream) {
  unsigned char mark[2];
  size_t count = ReadBytes(stream, mark, 2);
  Utf16Mode = count == 2 && mark[1] == 0xFE;
  if (Utf16Mode) return 1;
  // Fewer than two bytes must mean a file that short, not a failed read,
  // or a UTF-16 file would be taken for text.
  int whole = count == 2 || (SeekStream(stream, 0, kSeekEnd) &&
                                 StreamPosition(stream) == static_cast<long long>(count));
  return whole && SeekStream(stream, 0, kSeekSet);
}

int ReadProfileLine(char16_t* line, Stream* stream) {
  if (Utf16Mode) return ReadUtf16Line(line, stream);
  return ReadTextLine(stream, line, kProfileLineCapacity);
}

int WriteProfileText(Stream* stream, const char16_t* text) {
  return Utf16Mode ? WriteUtf16Text(stream, text) : WriteText(stream, text);
}

}  // namespace nimbora
