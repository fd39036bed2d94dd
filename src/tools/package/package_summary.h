// What a package is, read from the package alone: no device tree needed.
#pragma once

#include <string>

namespace nimbora {

// Whether packageDir is a directory holding update.ini (any letter case, as
// the panel finds it); false with "DIR: update.ini not found" or why not.
bool IsPackageDirectory(const char* packageDir, std::string* error);

// Prints the package's version and update time as the panel reads them, its
// base version when recorded, its Delete and Update instructions entry by
// entry, the files it carries but never copies, whether its checksum list
// is there and holds, and the findings that need no device: as text, or as
// one JSON object. Returns 0 (no error finding), 1 (errors) or 2 (the
// directory cannot be read, with the reason in error).
int RunSummary(const char* packageDir, bool json, std::string* error);

}  // namespace nimbora
