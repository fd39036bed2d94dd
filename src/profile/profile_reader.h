// Reading values from INI-style profile files, UTF-16 or text-mode.
#pragma once

namespace nimbora {

// Lines are read into buffers of this many characters, the null included:
// a longer line is judged in pieces of 259.
constexpr int kProfileLineCapacity = 260;

// 1 while the file being looked up is a UTF-16 file; set by each lookup
// once it has decided the encoding.
extern int Utf16Mode;

// Delivers the value of key in section, or defaultText, into output
// (bounded by capacity). Returns the length of what was delivered. A file
// that fails to read delivers the default, as a missing key does.
int ReadProfileString(const char16_t* section, const char16_t* key, const char16_t* defaultText,
                      char16_t* output, int capacity, const char16_t* path);

// Gives take every line of the file, read as a lookup reads it (at most 259
// characters, LF kept when a line end closed it). 0 when the file could not
// be opened or a read failed; the lines after a failed read are not given.
int ForEachProfileLine(const char16_t* path, void (*take)(const char16_t* line, void* context),
                       void* context);

}  // namespace nimbora
