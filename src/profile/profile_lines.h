// A profile file's lines, from either encoding, out of bytes held in memory:
// a block refilled from a stream (lookups) or the whole file (the writer).
// Lines come out alike from both encodings (at most 259 characters, LF kept
// when the line was closed) and positions are exact byte offsets, counted in
// memory, so one scan serves the reader and the writer.
#pragma once

#include "platform/file_system.h"
#include "profile/profile_reader.h"

namespace nimbora {

constexpr int kProfileBlockSize = 4096;
// The most bytes one character of new text takes in either encoding.
constexpr int kProfileBytesPerUnit = 4;

struct ProfileLines {
  Stream* stream;        // where the bytes beyond the view come from; nullptr: none
  unsigned char* bytes;  // the view
  int room;              // what the view can hold
  int filled;            // bytes in view
  int next;              // the next byte to decode
  long long viewStart;   // the file offset of bytes[0]
  long long length;      // the file's length, taken once
  long long textEnd;     // where the text ends: a lone last byte of a UTF-16 file is no character
  int utf16;             // decided once from the first two bytes (second byte 0xFE)
  int failed;            // a read failed or came short: nothing after it can be trusted
};

// The file's length, leaving the stream at its start; -1 when it cannot be had.
long long ProfileFileLength(Stream* stream);

// Lines of a file read block by block into block (kProfileBlockSize bytes);
// 0 when its length or its first bytes could not be read.
int StartStreamLines(ProfileLines* lines, Stream* stream, unsigned char* block);
// Lines of a file held whole in bytes.
void StartMemoryLines(ProfileLines* lines, unsigned char* bytes, int length);

// Delivers the next line into a kProfileLineCapacity buffer; 0 at the end of
// the text and after a failed read (lines->failed tells them apart).
int ReadProfileLine(ProfileLines* lines, char16_t* line);
// The byte offset of the next line.
long long ProfileLinePosition(const ProfileLines* lines);

// Encodes text in the file's encoding, an LF as a line end, into bytes
// (kProfileBytesPerUnit per character of room); returns the number of bytes.
int EncodeProfileText(const ProfileLines* lines, const char16_t* text, unsigned char* bytes);

}  // namespace nimbora
