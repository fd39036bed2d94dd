// The profile lookup over any file (text or UTF-16), section, key and
// capacity: it never writes past the capacity and returns the length of what
// it delivered. With one failing call it delivers what the healthy lookup
// delivers or the default: never a partial value, never another section's.
#include <string>

#include "base/wide_string.h"
#include "fuzz_device.h"
#include "fuzz_input.h"
#include "platform/device_locations.h"
#include "profile/profile_reader.h"

using namespace nimbora;

namespace {

constexpr int kOutputSize = 300;
constexpr char16_t kGuard = 0xBEEF;
// No value holds a line end, so the default can never be taken for a value.
constexpr const char16_t* kDefault = u"\n";

struct Lookup {
  const char16_t* section;
  const char16_t* key;
  int capacity;
};

void Read(const Lookup& lookup, char16_t* output) {
  for (int i = 0; i < kOutputSize; ++i) output[i] = kGuard;
  int length = ReadProfileString(lookup.section, lookup.key, kDefault, output, lookup.capacity,
                                 kInstalledStatePath);
  Check(length == WideLength(output) && length < lookup.capacity);
  for (int i = lookup.capacity; i < kOutputSize; ++i) Check(output[i] == kGuard);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input{data, size};
  FaultRule rule = TakeFaultRule(&input);
  uint8_t capacityChoice = TakeByte(&input);
  char16_t section[kProfileLineCapacity];
  char16_t key[kProfileLineCapacity];
  TakeText(&input, section, kProfileLineCapacity);
  TakeText(&input, key, kProfileLineCapacity);
  Lookup lookup{section, key, 1 + capacityChoice + (capacityChoice >> 7) * 4};

  FuzzDevice device;
  StartFuzzDevice(&device);
  Check(PutFile(&device, kInstalledStatePath,
          std::string(reinterpret_cast<const char*>(input.data), input.size)));
  char16_t healthy[kOutputSize];
  Read(lookup, healthy);
  ApplyFaultRule(&device.faults, rule);
  char16_t faulty[kOutputSize];
  Read(lookup, faulty);
  char16_t fallback[kOutputSize];
  WideCopyBounded(fallback, kDefault, lookup.capacity);
  Check(std::u16string(faulty) == healthy || std::u16string(faulty) == fallback);
  StopFuzzDevice(&device);
  return 0;
}
