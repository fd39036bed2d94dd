// Directory search patterns as the device takes them: "*" for any run of
// characters, "?" for one, letters matched ignoring case.
#pragma once

namespace nimbora {

// "*.*" takes every name, also one without a full stop, as on the device.
bool WideMatchesPattern(const char16_t* pattern, const char16_t* name);

}  // namespace nimbora
