// Starting a headless host session and opening a window in it, for tests of
// the host backend and of the display logic.
#pragma once

#include <string>

#include "platform/window.h"

namespace nimbora {

// Starts a session over root on the virtual clock, logging to root/draw.log.
void StartHeadlessSession(const std::string& root, const char* keys, const char* screensDir);
// Registers a class with the given procedure and opens its window.
Window* OpenTestWindow(WindowProcedure procedure, const char16_t* className);

}  // namespace nimbora
