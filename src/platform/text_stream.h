// The device runtime's wide text streams, on top of the byte streams of the
// file-system seam. On disk: UTF-8, where a byte that is not part of valid
// UTF-8 reads as the Latin-1 character of the same value; CR LF reads as LF
// and an LF written is stored as CR LF. Positions stay byte offsets.
#pragma once

#include "platform/file_system.h"

namespace nimbora {

// Reads at most capacity - 1 characters, stopping after an LF (kept).
// Returns 0 when nothing could be read (end of stream or error), and also
// when the read-ahead could not be given back, since the position is then lost.
int ReadTextLine(Stream* stream, char16_t* line, int capacity);
// Writes text in the stream's text form. Returns 1 when every byte was written.
int WriteText(Stream* stream, const char16_t* text);
// Formatted text write with the patterns of WideFormat (%s, %d, %02d), unbounded.
int PrintText(Stream* stream, const char16_t* format, ...);

}  // namespace nimbora
