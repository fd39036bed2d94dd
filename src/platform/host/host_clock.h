// Host clocks: the real one, and a virtual one whose sleep returns at once
// and advances its time (for headless runs and tests).
#pragma once

#include <cstdint>

#include "platform/clock.h"

namespace nimbora {

Clock* HostRealClock();

struct VirtualClockState {
  uint64_t now;
};
void InitVirtualClock(Clock* clock, VirtualClockState* state);

}  // namespace nimbora
