#include "platform/win32/win32_clock.h"

#include <windows.h>

namespace nimbora {

namespace {

struct TickState {
  DWORD start;
};

void SleepMilliseconds(Clock*, uint32_t milliseconds) { Sleep(milliseconds); }

// The tick count wraps after 49.7 days; the unsigned difference stays right
// for any run shorter than that.
uint64_t Now(Clock* self) {
  return static_cast<DWORD>(GetTickCount() - static_cast<TickState*>(self->state)->start);
}

}  // namespace

Clock* Win32Clock() {
  static TickState state{GetTickCount()};
  static Clock clock{&state, SleepMilliseconds, Now};
  return &clock;
}

}  // namespace nimbora
