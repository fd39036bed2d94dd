#include "platform/host/host_clock.h"

#include <time.h>

namespace nimbora {

namespace {

uint64_t MonotonicMilliseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
}

struct RealClockState {
  uint64_t start;
};

void RealSleep(Clock*, uint32_t milliseconds) {
  timespec duration{static_cast<time_t>(milliseconds / 1000),
                    static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&duration, &duration) != 0) {
  }
}

uint64_t RealNow(Clock* self) {
  return MonotonicMilliseconds() - static_cast<RealClockState*>(self->state)->start;
}

void VirtualSleep(Clock* self, uint32_t milliseconds) {
  static_cast<VirtualClockState*>(self->state)->now += milliseconds;
}

uint64_t VirtualNow(Clock* self) { return static_cast<VirtualClockState*>(self->state)->now; }

}  // namespace

Clock* HostRealClock() {
  static RealClockState state{MonotonicMilliseconds()};
  static Clock clock{&state, RealSleep, RealNow};
  return &clock;
}

void InitVirtualClock(Clock* clock, VirtualClockState* state) {
  *clock = Clock{state, VirtualSleep, VirtualNow};
}

}  // namespace nimbora
