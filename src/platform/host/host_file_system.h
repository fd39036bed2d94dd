// The host's file system: device paths mapped onto a directory tree below a
// root that the program chooses, with the device's error codes and rules.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/file_system.h"

namespace nimbora {

constexpr size_t kHostPathCapacity = 4096;

struct HostFileSystemState {
  char root[kHostPathCapacity];  // host directory that stands for the device's "\"
  uint32_t lastError;
};

// Fills fileSystem with the host operations over root. Returns 0 (and leaves
// fileSystem untouched) when root is empty or does not fit.
int InitHostFileSystem(FileSystem* fileSystem, HostFileSystemState* state, const char* root);

}  // namespace nimbora
