// Device paths on the host: "\ResidentFlash\Nimbora\main.ini" is the file
// ResidentFlash/Nimbora/main.ini below a root directory.
#pragma once

#include <cstddef>

namespace nimbora {

// Components are separated by "\" or "/". Each one is matched ignoring letter
// case against the entries that exist (an exact spelling wins); a name that
// exists in no letter case is used as spelled, so new files get the caller's
// spelling. "." is ignored and ".." goes up, never above root.
// Fails, rather than truncating, when the result does not fit in capacity,
// and when it would pass through a symbolic link: links are never followed.
bool MapDevicePath(const char* root, const char16_t* devicePath, char* hostPath, size_t capacity);

}  // namespace nimbora
