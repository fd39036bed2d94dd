// The formatter shared by the bounded print and the stream print.
#pragma once

#include <cstdarg>

namespace nimbora {

// Receives formatted text piece by piece.
struct FormatSink {
  void (*put)(FormatSink* self, const char16_t* text, int length);
};

// Supports %s (const char16_t*, nullptr prints nothing), %d with an optional
// zero flag and width (%02d), and %%.
void FormatWide(FormatSink* sink, const char16_t* format, va_list arguments);

}  // namespace nimbora
