// The update run: selection, application, recording, outcome and hand-off.
#pragma once

#include "control/start_status.h"
#include "platform/window.h"

namespace nimbora {

void RunUpdate(Window* mainWindow, StartStatus status);

}  // namespace nimbora
