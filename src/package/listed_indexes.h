// Finding which indexes of a numbered list ("file1", "file2", ...) a package
// description holds, so that a list whose count far exceeds its entries costs
// no more than the entries present.
#pragma once

namespace nimbora {

// The smallest index above `after` for which some line of the description
// reads prefix + index + "=" (letter case ignored, leading zeros never
// matching), or 0 when there is none. Sections are not told apart: an index
// found outside the list's section only costs one lookup that finds nothing,
// whereas an index missed would change the result.
int NextListedIndex(const char16_t* prefix, int after, const char16_t* descriptionPath);

}  // namespace nimbora
