// The program's entry on Windows: install the backend, then the logic's entry.
#include <windows.h>

#include "control/main_window.h"
#include "platform/win32/win32_platform.h"

// The device's entry is WinMain with a wide command line; on desktop Windows
// the wide entry is wWinMain. Either way the text holds only the arguments.
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int showMode) {
  nimbora::UseFileSystem(nimbora::Win32FileSystem());
  nimbora::UseClock(nimbora::Win32Clock());
  return nimbora::ProgramEntry(nimbora::AsInstance(instance),
                               nimbora::AsText(commandLine), showMode);
}
