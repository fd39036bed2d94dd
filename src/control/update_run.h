// The update run: selection, application, recording, outcome and hand-off.
#pragma once

#include "control/start_status.h"
#include "platform/window.h"

namespace nimbora {

// Returns true when it left a result on the screen and the application is to
// start on the next key press; false when it started the application itself.
bool RunUpdate(Window* mainWindow, StartStatus status);

}  // namespace nimbora
