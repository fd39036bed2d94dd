// The package's checksum list as the tool writes it (make) and reports on it
// (check). Whether a list holds is decided by the device's own check; the
// tool only adds the names of what it found.
#pragma once

#include <string>
#include <vector>

#include "platform/file_system.h"

namespace nimbora {

// Writes the list into the package at the host directory packageDir: every
// file a copy of the whole package copies, in the order the device reads.
// false with a message when a file cannot be read or the list written.
bool WriteChecksumList(const std::string& packageDir, std::string* error);

struct ChecksumFinding {
  const char* severity;
  const char* code;
  std::string message;
};

// The findings of the device's check of the package at packageDirectory
// (a device path ending with a backslash) on device, which must be the
// installed file system (the device's check reads that one): one error per
// problem, or a note that the package has no list.
std::vector<ChecksumFinding> CheckChecksumList(FileSystem* device,
                                               const std::u16string& packageDirectory);

}  // namespace nimbora
