// Setting or removing one entry (or a whole section) of a profile file in place.
#pragma once

namespace nimbora {

// key nullptr: remove the section. value nullptr: remove the entry.
// Returns 1 when the file was changed as asked or needed no change, else 0.
int WriteProfileString(const char16_t* section, const char16_t* key, const char16_t* value,
                       const char16_t* path);

}  // namespace nimbora
