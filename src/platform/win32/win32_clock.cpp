#include "win32_platform.h"

#include <windows.h>

namespace nimbora {

namespace {

struct TickState {
  DWORD start;
};

// The device's GDI draws straight onto the screen, so a plain Sleep keeps
// what was drawn in view. Wine shows a window's drawing only once its thread
// waits through the message functions (not during Sleep, and GdiFlush does
// nothing there), so the desktop build waits with an empty wake mask: no
// message wakes it or is handled, and the launch screen is visible.
void SleepMilliseconds(Clock*, uint32_t milliseconds) {
#ifdef _WIN32_WCE
  Sleep(milliseconds);
#else
  const DWORD start = GetTickCount();
  DWORD waited = 0;
  while (waited < milliseconds) {
    MsgWaitForMultipleObjectsEx(0, nullptr, milliseconds - waited, 0, 0);
    waited = GetTickCount() - start;
  }
#endif
}

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
