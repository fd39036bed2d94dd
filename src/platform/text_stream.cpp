#include "platform/text_stream.h"

#include <climits>
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
int NextCharacter(const unsigned char* at, int ahead, char32_t* character) {
  int used = DecodeUtf8(at, ahead, character);
  if (*character == u'\r' && ahead > 1 && at[1] == '\n') {
    *character = u'\n';
    used = 2;
  }
  return used;
}

// Collects encoded bytes, in memory or in chunks written to a stream; after a
// failed write nothing more is written, so the file never gets text with a
// gap in it.
struct TextWriter {
  FormatSink sink;
  Stream* stream;  // nullptr: the bytes stay in memory, which has room for them all
  unsigned char* bytes;
  int room;
  int used;
  char16_t pendingHigh;
  bool failed;
};

void Flush(TextWriter* writer) {
  if (writer->stream == nullptr) return;
  size_t size = static_cast<size_t>(writer->used);
  if (!writer->failed && size > 0 && WriteBytes(writer->stream, writer->bytes, size) != size) {
    writer->failed = true;
  }
  writer->used = 0;
}

void PutCodePoint(TextWriter* writer, char32_t codePoint) {
  if (writer->used > writer->room - 1 - kUtf8MaxBytes) Flush(writer);
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

int DecodeTextLine(TextLine* line, const unsigned char* bytes, int size, int more) {
  int taken = 0;
  while (!line->complete) {
    int ahead = size - taken;
    if (line->length >= line->capacity - 1) {
      line->complete = 1;
    } else if (more && ahead < kUtf8MaxBytes) {
      break;  // a sequence (or the LF after a CR) may go on beyond the view
    } else if (ahead == 0) {
      line->complete = 1;
    } else {
      char32_t character;
      int used = NextCharacter(bytes + taken, ahead, &character);
      char16_t units[2];
      int count = SplitCodePoint(character, units);
      if (line->length + count > line->capacity - 1) {
        line->complete = 1;  // never split a surrogate pair
        break;
      }
      taken += used;
      for (int i = 0; i < count; ++i) line->text[line->length++] = units[i];
      line->complete = character == u'\n';
    }
  }
  line->text[line->length] = 0;
  return taken;
}

int EncodeText(const char16_t* text, unsigned char* bytes) {
  TextWriter writer{{PutText}, nullptr, bytes, INT_MAX, 0, 0, false};
  PutText(&writer.sink, text, WideLength(text));
  Finish(&writer);
  return writer.used;
}

int ReadTextLine(Stream* stream, char16_t* line, int capacity) {
  if (capacity <= 0) return 0;
  LineReader reader{stream, {}, 0, 0, false};
  TextLine decoded{line, capacity, 0, 0};
  while (!decoded.complete) {
    Refill(&reader);
    reader.next +=
        DecodeTextLine(&decoded, reader.bytes + reader.next, Ahead(&reader), !reader.ended);
  }
  if (Ahead(&reader) > 0 && !SeekStream(stream, -Ahead(&reader), kSeekCurrent)) return 0;
  return decoded.length > 0 ? 1 : 0;
}

int PrintText(Stream* stream, const char16_t* format, ...) {
  unsigned char chunk[kWriteChunk];
  TextWriter writer{{PutText}, stream, chunk, kWriteChunk, 0, 0, false};
  va_list arguments;
  va_start(arguments, format);
  FormatWide(&writer.sink, format, arguments);
  va_end(arguments);
  return Finish(&writer);
}

}  // namespace nimbora
