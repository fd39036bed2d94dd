#include "fuzz_device.h"

#include "base/wide_string.h"
#include "fuzz_input.h"
#include "platform/device_locations.h"

namespace nimbora {

namespace {

FileSystem* Memory(FuzzDevice* device) { return &device->memory.fileSystem; }

void CreateDirectories(FileSystem* memory, const char16_t* path) {
  char16_t prefix[kPathCapacity];
  for (int i = 1; path[i] != 0; ++i) {
    if (path[i] != u'\\') continue;
    WideCopyBounded(prefix, path, i + 1);
    memory->createDirectory(memory, prefix);
  }
}

}  // namespace

void StartFuzzDevice(FuzzDevice* device) {
  InitOverlayFileSystem(&device->memory, nullptr);
  InitFaultFileSystem(&device->faulty, &device->faults, Memory(device));
  for (const char16_t* directory :
       {kApplicationDirectory, kCardPackageDirectory, kFlashPackageDirectory}) {
    CreateDirectories(Memory(device), directory);
  }
  UseFileSystem(&device->faulty);
}

void StopFuzzDevice(FuzzDevice* device) {
  UseFileSystem(nullptr);
  FreeOverlayFileSystem(&device->memory);
}

bool PutFile(FuzzDevice* device, const char16_t* path, const std::string& bytes) {
  FileSystem* memory = Memory(device);
  CreateDirectories(memory, path);
  Stream* stream = memory->open(memory, path, u"w+");
  if (stream == nullptr) return false;
  bool written = memory->write(memory, stream, bytes.data(), bytes.size()) == bytes.size();
  return memory->close(memory, stream) && written;
}

bool GetFile(FuzzDevice* device, const char16_t* path, std::string* bytes) {
  FileSystem* memory = Memory(device);
  bytes->clear();
  Stream* stream = memory->open(memory, path, u"r");
  if (stream == nullptr) return false;
  char chunk[4096];
  for (size_t got; (got = memory->read(memory, stream, chunk, sizeof chunk)) > 0;) {
    bytes->append(chunk, got);
  }
  memory->close(memory, stream);
  return true;
}

}  // namespace nimbora
