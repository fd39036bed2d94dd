// The device runtime's wide text streams, on top of the byte streams of the
// file-system seam. On disk: UTF-8, where a byte that is not part of valid
// UTF-8 reads as the Latin-1 character of the same value; CR LF reads as LF
// and an LF written is stored as CR LF. Positions stay byte offsets.
// The decoding and encoding also work on bytes held in memory, for callers
// that read and write whole blocks.
#pragma once

#include "platform/file_system.h"

namespace nimbora {

// The most bytes one character of text takes in its text form (an LF
// becomes CR LF, a surrogate pair four bytes).
constexpr int kTextBytesPerUnit = 3;

// One line being decoded from bytes that arrive in pieces.
struct TextLine {
  char16_t* text;  // capacity characters, the null included
  int capacity;
  int length;      // characters decoded so far
  int complete;    // an LF ended the line, it is full, or no bytes follow
};

// Decodes whole characters of the line from the bytes in view (size of them;
// more: further bytes follow them) and returns how many bytes it took. It
// stops short of a character that may continue beyond the view, so a caller
// gives more bytes and calls again until the line is complete.
int DecodeTextLine(TextLine* line, const unsigned char* bytes, int size, int more);
// Encodes text in the text form into bytes (kTextBytesPerUnit per character
// of room) and returns the number of bytes.
int EncodeText(const char16_t* text, unsigned char* bytes);

// Reads at most capacity - 1 characters, stopping after an LF (kept).
// Returns 0 when nothing could be read (end of stream or error), and also
// when the read-ahead could not be given back, since the position is then lost.
int ReadTextLine(Stream* stream, char16_t* line, int capacity);
// Formatted text write with the patterns of WideFormat (%s, %d, %02d), unbounded.
int PrintText(Stream* stream, const char16_t* format, ...);

}  // namespace nimbora
