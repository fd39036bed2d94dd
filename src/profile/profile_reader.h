// Reading values from INI-style profile files, UTF-16 or text-mode.
#pragma once

#include "platform/file_system.h"

namespace nimbora {

constexpr int kProfileLineCapacity = 260;

// 1 while the file being scanned is a UTF-16 file; set by each lookup.
extern int Utf16Mode;

// Delivers the value of key in section, or defaultText, into output
// (bounded by capacity). Returns the length of what was delivered.
int ReadProfileString(const char16_t* section, const char16_t* key, const char16_t* defaultText,
                      char16_t* output, int capacity, const char16_t* path);

// Delivers the next line (at most 259 characters, ending in LF when a line
// end closed it) into a 260-character buffer; 0 when there is none. A UTF-16
// line end (CR, LF or CR LF) is delivered as one LF, as the text stream does.
int ReadProfileLine(char16_t* line, Stream* stream);

}  // namespace nimbora
