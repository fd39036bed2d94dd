// Taking a fuzzer's bytes apart: small choices first, then texts and contents.
#pragma once

#include <cstddef>
#include <cstdint>

#include "testing/fault_file_system.h"

namespace nimbora {

struct FuzzInput {
  const uint8_t* data;
  size_t size;
};

// A broken contract: stops the fuzzer with the input kept.
void Check(bool condition);

// 0 once the input is used up.
uint8_t TakeByte(FuzzInput* input);
// A text of the bytes up to the next 0 byte (or the end), one character a
// byte, cut to capacity - 1 characters.
void TakeText(FuzzInput* input, char16_t* text, int capacity);

// Three bytes choose one failing call: the operation (or any, or none), at
// which count from now, once or from then on, and the device error.
FaultRule TakeFaultRule(FuzzInput* input);
void ApplyFaultRule(FaultFileSystemState* state, const FaultRule& rule);

}  // namespace nimbora
