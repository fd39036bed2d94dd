// The start of the Windows CE Update.exe when Wine runs it for the tests.
// Wine calls an executable's entry with its process record, not with
// WinMain's arguments, so they are found here: the module from the image's
// own address and the command line from the system, without the program's
// name, as the device passes it.
#include <windows.h>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

const wchar_t* SkipBlanks(const wchar_t* text) {
  while (*text == L' ' || *text == L'\t') ++text;
  return text;
}

// The program's name ends at its closing quote or at the first blank.
const wchar_t* AfterProgramName(const wchar_t* text) {
  if (*text == L'"') {
    ++text;
    while (*text != L'\0' && *text != L'"') ++text;
    if (*text == L'"') ++text;
  } else {
    while (*text != L'\0' && *text != L' ' && *text != L'\t') ++text;
  }
  return SkipBlanks(text);
}

}  // namespace

extern "C" void WINAPI WinMainCRTStartup(HINSTANCE, HINSTANCE, LPWSTR, int) {
  LPWSTR arguments = const_cast<LPWSTR>(AfterProgramName(GetCommandLineW()));
  ExitThread(static_cast<DWORD>(
      wWinMain(reinterpret_cast<HINSTANCE>(&__ImageBase), nullptr, arguments, SW_SHOWNORMAL)));
}
