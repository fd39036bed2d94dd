// The full-screen window, its procedure and the event loop.
#pragma once

#include "platform/window.h"

namespace nimbora {

intptr_t MainWindowProc(Window* window, uint32_t message, uintptr_t wParam, intptr_t lParam);
bool InstanceStart(Instance* instance, int showMode);
// Decodes the start status, runs the update in the window, then the event loop.
int ProgramEntry(Instance* instance, const char16_t* commandLine, int showMode);

}  // namespace nimbora
