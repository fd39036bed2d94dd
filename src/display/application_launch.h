// The launch screen and the start of the Nimbora application.
#pragma once

#include "platform/window.h"

namespace nimbora {

void LaunchApplication(Window* mainWindow);

}  // namespace nimbora
