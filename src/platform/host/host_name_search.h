// Finding a name in a host directory ignoring letter case, as the device
// looks names up.
#pragma once

#include <cstddef>

namespace nimbora {

// Reads the open directory from its start for an entry whose name equals
// name ignoring case; copies the first such entry's host name into found.
bool FindNameNoCase(int directory, const char16_t* name, char* found, size_t capacity);

}  // namespace nimbora
