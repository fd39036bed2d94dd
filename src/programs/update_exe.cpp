// The program's entry on Windows: install the backend, then the logic's entry.
#include <windows.h>

#include "control/main_window.h"
#include "platform/win32/win32_platform.h"

// The wide WinMain: desktop Windows' run-time calls it, and on the device the
// CE build's own start-up (update_exe_ce.cpp). Either way the text holds only
// the arguments.
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int showMode) {
  nimbora::UseFileSystem(nimbora::Win32FileSystem());
  nimbora::UseClock(nimbora::Win32Clock());
  return nimbora::ProgramEntry(nimbora::AsInstance(instance),
                               nimbora::AsText(commandLine), showMode);
}
