// Setting or removing one entry (or a whole section) of a profile file.
#pragma once

namespace nimbora {

// A replace writes the new content to path + kFreshSuffix and moves the old
// one aside to path + kOldSuffix before it goes in place.
constexpr const char16_t* kFreshSuffix = u"~new";
constexpr const char16_t* kOldSuffix = u"~old";

// key nullptr: remove the section. value nullptr: remove the entry.
// Returns 1 when the file was changed as asked or needed no change, else 0.
// The file is replaced whole, so a failure or a power cut leaves its old
// content or its new one; a replace cut short is finished first.
int WriteProfileString(const char16_t* section, const char16_t* key, const char16_t* value,
                       const char16_t* path);

// Finishes a replace of the file at path that was cut short: a complete new
// content goes in place and leftovers are removed. 1 when none is left.
int FinishProfileReplace(const char16_t* path);

}  // namespace nimbora
