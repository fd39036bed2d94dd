// Time seam: sleeping and a millisecond clock, replaceable by tests and by the
// host's virtual clock.
#pragma once

#include <cstdint>

namespace nimbora {

struct Clock {
  void* state;
  void (*sleep)(Clock* self, uint32_t milliseconds);
  uint64_t (*now)(Clock* self);  // milliseconds since an arbitrary start
};

void UseClock(Clock* clock);
Clock* CurrentClock();

void SleepFor(uint32_t milliseconds);
uint64_t ClockMilliseconds();

}  // namespace nimbora
