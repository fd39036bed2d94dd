#include "fuzz_input.h"

namespace nimbora {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

uint8_t TakeByte(FuzzInput* input) {
  if (input->size == 0) return 0;
  --input->size;
  return *input->data++;
}

void TakeText(FuzzInput* input, char16_t* text, int capacity) {
  int length = 0;
  while (input->size > 0) {
    uint8_t byte = TakeByte(input);
    if (byte == 0) break;
    if (length < capacity - 1) text[length++] = byte;
  }
  text[length] = 0;
}

FaultRule TakeFaultRule(FuzzInput* input) {
  // Errors of a failing medium; none claims that an existing file is missing.
  static const uint32_t kErrors[] = {kErrorGeneralFailure, kErrorWriteFault, kErrorDiskFull,
                                     kErrorSharingViolation};
  uint8_t which = TakeByte(input);
  uint8_t count = TakeByte(input);
  uint8_t flags = TakeByte(input);
  FaultRule rule{};
  int operation = which % (kOperationCount + 2);
  if (operation > kAnyOperation) return rule;  // no fault
  rule.operation = static_cast<FileOperation>(operation);
  rule.failAt = 1 + (count | (flags & 0x0F) << 8);
  rule.persistent = (flags & 0x80) != 0;
  rule.error = kErrors[(flags >> 4) & 3];
  return rule;
}

void ApplyFaultRule(FaultFileSystemState* state, const FaultRule& rule) {
  if (rule.failAt == 0) {
    ClearFaults(state);
  } else {
    FailCall(state, rule.operation, rule.failAt, rule.error, rule.persistent);
  }
}

}  // namespace nimbora
