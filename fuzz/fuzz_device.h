// The harnesses' device: an in-memory file system behind a fault-injecting
// one, installed as the logic's file system, with whole-file helpers that
// go straight to the memory (never through the faults).
#pragma once

#include <string>

#include "testing/fault_file_system.h"
#include "overlay/overlay_file_system.h"

namespace nimbora {

struct FuzzDevice {
  OverlayFileSystem memory;
  FileSystem faulty;
  FaultFileSystemState faults;
};

// Also creates the application directory and both package directories.
void StartFuzzDevice(FuzzDevice* device);
void StopFuzzDevice(FuzzDevice* device);

// false when the file cannot be made (a name the device does not allow).
bool PutFile(FuzzDevice* device, const char16_t* path, const std::string& bytes);
// false when there is no such file.
bool GetFile(FuzzDevice* device, const char16_t* path, std::string* bytes);

}  // namespace nimbora
