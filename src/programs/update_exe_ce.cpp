// The start of Update.exe on Windows CE, which calls an executable's entry
// with WinMain's four arguments. No C run-time comes before it: the link
// holds no static constructor (no_constructors.ld) and no exit handler
// (there is no atexit to resolve one to), so there is nothing for one to do.
#include <windows.h>

extern "C" void WINAPI WinMainCRTStartup(HINSTANCE instance, HINSTANCE previous,
                                         LPWSTR commandLine, int showMode) {
  // "If the primary thread calls the ExitThread function, the application
  // exits" (ExitThread, Windows Embedded CE 6.0).
  ExitThread(static_cast<DWORD>(wWinMain(instance, previous, commandLine, showMode)));
}
