// File names between the device's UTF-16 and the host's UTF-8.
#pragma once

#include <cstddef>

namespace nimbora {

// Encodes length units of name; false when the result (with its null) does
// not fit in capacity bytes. An unpaired surrogate has no UTF-8 form and fails too.
bool HostNameFromWide(const char16_t* name, int length, char* out, size_t capacity);

// Decodes a host name; bytes that are not UTF-8 read as Latin-1, as the text
// streams read them. False when the result does not fit in capacity units.
bool WideFromHostName(const char* name, char16_t* out, int capacity);

}  // namespace nimbora
