// The host backend's own controls: where the device tree lives, whether a
// real window is shown, and what the run leaves behind for people and tests
// (screens as PNG files, a log of drawing and window events).
#pragma once

#include <cstdint>

#include "platform/window.h"

namespace nimbora {

struct HostOptions {
  const char* root;         // host directory holding the device tree
  bool window;              // show an SDL window (needs a display)
  bool virtualClock;        // sleeps return at once and advance the clock
  const char* keys;         // key presses for the key waits ("a,ctrl+q"), or nullptr
  const char* screensDir;   // PNG of the screen at every wait and at the end, or nullptr
  const char* drawLogPath;  // one JSON object per drawing or window event, or nullptr
};

// Starts a host session: installs the host file system over root and the
// clock, opens the log, queues the keys, clears the screen. Without a usable
// display it goes on without a window (and says so on stderr). On failure
// returns 0 with a message in error.
int HostStart(const HostOptions* options, char* error, int capacity);
// Ends the session: logs the exit code, writes the last screen, closes the
// window and forgets every window class, window, message and queued key,
// ready for a new start.
void HostFinish(int exitCode);

// A key press as if made on the keyboard now (Control held or not); it is
// delivered to the window by the message queue.
void HostPressKey(unsigned virtualKey, bool control);

// The screen as 0x00RRGGBB pixels, row by row, kScreenWidth per row.
const uint32_t* HostScreenPixels();
// Device contexts, fonts and brushes created and not yet released or deleted.
int HostLiveDrawingResources();

}  // namespace nimbora
