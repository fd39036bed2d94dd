// UTF-8 code points, one at a time, for the text streams, and whole texts
// between UTF-16 and UTF-8 for the host's names and logs. Decoding never
// fails: a byte that does not start a valid sequence stands for the Latin-1
// character of the same value.
#pragma once

#include <cstddef>

namespace nimbora {

constexpr int kUtf8MaxBytes = 4;

// Decodes the code point at bytes (count > 0 available) and returns the
// number of bytes it took. A sequence cut short by count is invalid, so a
// caller reading in pieces keeps kUtf8MaxBytes bytes ahead until the end.
int DecodeUtf8(const unsigned char* bytes, int count, char32_t* codePoint);

// Encodes a code point (at most 0x10FFFF) and returns the number of bytes.
int EncodeUtf8(char32_t codePoint, unsigned char* bytes);

bool IsHighSurrogate(char16_t unit);
bool IsLowSurrogate(char16_t unit);
char32_t JoinSurrogates(char16_t high, char16_t low);
// Writes the UTF-16 form of a code point and returns 1 or 2 units.
int SplitCodePoint(char32_t codePoint, char16_t* units);

// Encodes length units of text with a terminating null; false when that does
// not fit in capacity bytes. An unpaired surrogate has no UTF-8 form: it fails
// too, unless a replacement is given (U+FFFD for text meant for people).
bool Utf8FromUtf16(const char16_t* text, int length, char* out, size_t capacity,
                   char32_t replacement = 0);

// Decodes a null-terminated UTF-8 text (bytes that are not UTF-8 read as
// Latin-1); false when the result with its null does not fit in capacity units.
bool Utf16FromUtf8(const char* text, char16_t* out, int capacity);

}  // namespace nimbora
