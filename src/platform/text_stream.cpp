#include "platform/text_stream.h"

#include <cstdarg>
#include <cstring>

#include "base/utf8.h"
#include "base/wide_format.h"
#include "base/wide_string.h"

namespace nimbora {

namespace {

constexpr int kReadChunk = 256;
constexpr int kWriteChunk = 512;
constexpr char32_t kReplacementCharacter = 0xFFFD;

// Bytes read ahead of the line being decoded. What is read beyond the line
// is given back with a seek, so positions stay exact byte offsets.
struct LineReader {
  Stream* stream;
  unsigned char bytes[kReadChunk];
  int filled;
  int next;
  bool ended;
};

int Ahead(const LineReader* reader) { return reader->filled - reader->next; }

// Keeps a whole UTF-8 sequence (and the LF after a CR) in view unless the
// stream has ended.
void Refill(LineReader* reader) {
  if (reader->ended || Ahead(reader) >= kUtf8MaxBytes) return;
  int kept = Ahead(reader);
  memmove(reader->bytes, reader->bytes + reader->next, static_cast<size_t>(kept));
  reader->next = 0;
  size_t wanted = static_cast<size_t>(kReadChunk - kept);
  size_t got = ReadBytes(reader->stream, reader->bytes + kept, wanted);
  reader->filled = kept + static_cast<int>(got);
  reader->ended = got < wanted;
}

// Decodes the next character with CR LF folded into LF; returns the bytes it took.
int NextCharacter(const LineReader* reader, char32_t* character) {
  const unsigned char* at = reader->bytes + reader->next;
  int used = DecodeUtf8(at, Ahead(reader), character);
  if (*character == u'\r' && Ahead(reader) > 1 && at[1] == '\n') {
    *character = u'\n';
    used = 2;
  }
  return used;
}

// Collects encoded bytes and writes them in chunks; after a failed write
// nothing more is written, so the file never gets text with a gap in it.
struct TextWriter {
  FormatSink sink;
  Stream* stream;
  unsigned char bytes[kWriteChunk];
  int used;
  char16_t pendingHigh;
  bool failed;
};

void Flush(TextWriter* writer) {
  size_t size = static_cast<size_t>(writer->used);
  if (!writer->failed && size > 0 && WriteBytes(writer->stream, writer->bytes, size) != size) {
    writer->failed = true;
  }
  writer->used = 0;
}

void PutCodePoint(TextWriter* writer, char32_t codePoint) {
  if (writer->used > kWriteChunk - 1 - kUtf8MaxBytes) Flush(writer);
  if (codePoint == u'\n') writer->bytes[writer->used++] = '\r';
  writer->used += EncodeUtf8(codePoint, writer->bytes + writer->used);
}

// A surrogate without its partner has no UTF-8 form: it is stored as U+FFFD.
void PutUnit(TextWriter* writer, char16_t unit) {
  if (writer->pendingHigh != 0) {
    char16_t high = writer->pendingHigh;
    writer->pendingHigh = 0;
    if (IsLowSurrogate(unit)) {
      PutCodePoint(writer, JoinSurrogates(high, unit));
      return;
    }
    PutCodePoint(writer, kReplacementCharacter);
  }
  if (IsHighSurrogate(unit)) {
    writer->pendingHigh = unit;
  } else {
    PutCodePoint(writer, IsLowSurrogate(unit) ? kReplacementCharacter : unit);
  }
}

void PutText(FormatSink* sink, const char16_t* text, int length) {
  TextWriter* writer = reinterpret_cast<TextWriter*>(sink);
  for (int i = 0; i < length; ++i) PutUnit(writer, text[i]);
}

int Finish(TextWriter* writer) {
  if (writer->pendingHigh != 0) PutCodePoint(writer, kReplacementCharacter);
  Flush(writer);
  return writer->failed ? 0 : 1;
}

}  // namespace

int ReadTextLine(Stream* stream, char16_t* line, int capacity) {
  if (capacity <= 0) return 0;
  LineReader reader{stream, {}, 0, 0, false};
  int length = 0;
  while (length < capacity - 1) {
    Refill(&reader);
    if (Ahead(&reader) == 0) break;
    char32_t character;
    int used = NextCharacter(&reader, &character);
    char16_t units[2];
    int count = SplitCodePoint(character, units);
    if (length + count > capacity - 1) break;  // never split a surrogate pair
    reader.next += used;
    for (int i = 0; i < count; ++i) line[length++] = units[i];
    if (character == u'\n') break;
  }
  line[length] = 0;
  if (Ahead(&reader) > 0 && !SeekStream(stream, -Ahead(&reader), kSeekCurrent)) return 0;
  return length > 0 ? 1 : 0;
}

int WriteText(Stream* stream, const char16_t* text) {
  TextWriter writer{{PutText}, stream, {}, 0, 0, false};
  PutText(&writer.sink, text, WideLength(text));
  return Finish(&writer);
}

int PrintText(Stream* stream, const char16_t* format, ...) {
  TextWriter writer{{PutText}, stream, {}, 0, 0, false};
  va_list arguments;
  va_start(arguments, format);
  FormatWide(&writer.sink, format, arguments);
  va_end(arguments);
  return Finish(&writer);
}

}  // namespace nimbora
