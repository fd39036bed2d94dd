// Forming paths in fixed 260-character buffers without ever cutting them:
// a cut path can name a parent directory, and acting on it could delete or
// overwrite far more than was meant.
#pragma once

namespace nimbora {

// destination = head + tail. Returns 0, leaving destination empty, when the
// result would not fit in kPathCapacity characters.
int JoinPath(char16_t* destination, const char16_t* head, const char16_t* tail);
// prefix = directory with a backslash appended unless it already ends in one;
// 0 (prefix empty) when that would not fit.
int FormDirectoryPrefix(char16_t* prefix, const char16_t* directory);
// Whether the last character is a backslash or a slash (a directory entry).
bool EndsWithSeparator(const char16_t* path);

}  // namespace nimbora
