// What a package is, read from the package alone: no device tree needed.
#pragma once

#include <string>

namespace nimbora {

// Prints the package's version and update time as its update.ini gives
// them, and whether its checksum list is there and holds, with a finding
// for each problem. Returns 0 (no error finding), 1 (errors) or 2 (no
// package there, with the reason in error).
int RunSummary(const char* packageDir, std::string* error);

}  // namespace nimbora
