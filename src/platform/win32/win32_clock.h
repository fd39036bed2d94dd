// The system's sleep and tick count as the seam's clock.
#pragma once

#include "platform/clock.h"

namespace nimbora {

Clock* Win32Clock();

}  // namespace nimbora
