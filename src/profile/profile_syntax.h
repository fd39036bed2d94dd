// How a profile line is judged: section headers and key=value entries.
// Shared by the reader and the writer so both see the same file.
#pragma once

namespace nimbora {

// A header opens with "[" in the first column; any such line ends a section.
int IsHeader(const char16_t* line);
// "[" + section (letter case ignored, nothing trimmed) + "]"; the rest of
// the line is not looked at, so a header may carry a trailing comment.
int IsHeaderOf(const char16_t* line, const char16_t* section);
// The value of the line when it is the entry of key (key + "=" + value,
// letter case ignored), else nullptr.
const char16_t* EntryValue(const char16_t* line, const char16_t* key);
// Blank lines and ";" comments never take part in a lookup.
int IsIgnoredLine(const char16_t* line);
// Removes one trailing LF. Returns 1 when there was one (the line is closed).
int RemoveLineEnd(char16_t* line);

}  // namespace nimbora
