// Starting a program through the device's shell-execute service.
#pragma once

#include <cstdint>

#include "platform/window.h"

namespace nimbora {

constexpr uint32_t kExecuteNoErrorDialog = 0x400;
constexpr int kShowNormal = 5;

// The device's shell-execute record is 60 bytes; its size field says so.
constexpr uint32_t kExecuteRequestSize = 60;

// Laid out as the start of the device's shell-execute record.
struct ExecuteRequest {
  uint32_t size;
  uint32_t mask;
  Window* owner;
  const char16_t* verb;
  const char16_t* file;
  const char16_t* parameters;
  const char16_t* directory;
  int show;
};

// 1 when the program was started; never waits for it.
int StartProgram(ExecuteRequest* request);

}  // namespace nimbora
