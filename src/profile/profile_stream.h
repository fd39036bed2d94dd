// A profile file's two encodings behind one line interface. Lines come out
// alike from both (at most 259 characters, LF kept when the line was
// closed) and positions are byte offsets in both, so one scan serves the
// reader and the writer.
#pragma once

#include "platform/file_system.h"

namespace nimbora {

// Decides the encoding from the first two bytes (second byte 0xFE: UTF-16),
// sets Utf16Mode and leaves the stream at the first character. 0 when the
// stream could not be put back there.
int ChooseProfileEncoding(Stream* stream);
// Writes text in the file's encoding; an LF becomes a line end. 1 when
// every byte was written.
int WriteProfileText(Stream* stream, const char16_t* text);

}  // namespace nimbora
