/* The wrappers of the stand-in coredll.dll: where desktop Windows does not
   behave as the device, and where the tests need to see the order of the
   calls that make files durable. Those calls are appended to coredll.log
   beside the stand-in, one line each: "copy FROM TO" and "move FROM TO"
   once done, "flush PATH" and "open MODE PATH" (a stream that may write)
   when called, fields separated by tabs, paths as the caller gave them
   (flush: as the system names the file, without the drive). */
#include <windows.h>

#include <io.h>
#include <stdio.h>
#include <wchar.h>

static HMODULE standIn;

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) standIn = instance;
  return TRUE;
}

/* Appends the line; the call it records goes ahead whatever comes of that,
   and a test that reads the log finds what is missing. */
static void Record(const wchar_t* what, const wchar_t* first, const wchar_t* second) {
  wchar_t path[MAX_PATH];
  wchar_t line[3 * MAX_PATH + 16];
  char bytes[sizeof line];
  DWORD length = GetModuleFileNameW(standIn, path, MAX_PATH);
  wchar_t* slash = wcsrchr(path, L'\\');
  HANDLE log;
  int size;
  DWORD written;
  if (length == 0 || length >= MAX_PATH - 12 || slash == NULL) return;
  wcscpy(slash + 1, L"coredll.log");
  _snwprintf(line, sizeof line / sizeof line[0] - 1, L"%ls\t%ls%ls%ls\n", what, first,
             second != NULL ? L"\t" : L"", second != NULL ? second : L"");
  line[sizeof line / sizeof line[0] - 1] = L'\0';
  size = WideCharToMultiByte(CP_UTF8, 0, line, -1, bytes, sizeof bytes, NULL, NULL);
  if (size <= 1) return;
  log = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ, NULL, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL, NULL);
  if (log == INVALID_HANDLE_VALUE) return;
  WriteFile(log, bytes, (DWORD)size - 1, &written, NULL);
  CloseHandle(log);
}

/* CE's _fileno gives the stream's system handle ("Gets the file handle
   associated with a stream ... returns ... the OS file handle", _fileno,
   Microsoft C Run-time Library for Windows CE, ms860492), which the backend
   passes to FlushFileBuffers; the desktop one gives a descriptor. */
void* __cdecl StandInFileno(FILE* stream) {
  return (void*)_get_osfhandle(_fileno(stream));
}

BOOL WINAPI StandInCopyFileW(const wchar_t* from, const wchar_t* to, BOOL failIfExists) {
  if (!CopyFileW(from, to, failIfExists)) return FALSE;
  Record(L"copy", from, to);
  return TRUE;
}

BOOL WINAPI StandInMoveFileW(const wchar_t* from, const wchar_t* to) {
  if (!MoveFileW(from, to)) return FALSE;
  Record(L"move", from, to);
  return TRUE;
}

BOOL WINAPI StandInFlushFileBuffers(HANDLE file) {
  wchar_t path[MAX_PATH];
  DWORD length = GetFinalPathNameByHandleW(file, path, MAX_PATH, VOLUME_NAME_NONE);
  Record(L"flush", length > 0 && length < MAX_PATH ? path : L"?", NULL);
  return FlushFileBuffers(file);
}

FILE* __cdecl StandInWfopen(const wchar_t* path, const wchar_t* mode) {
  if (wcspbrk(mode, L"wa+") != NULL) Record(L"open", mode, path);
  return _wfopen(path, mode);
}

/* CE captions a top-level window only when its style asks for one, and a
   top-level window of default position and size covers the screen (the
   panel's Update.exe relies on both for its full-screen window); desktop
   Windows captions it and gives it a smaller default size. */
HWND WINAPI StandInCreateWindowExW(DWORD extendedStyle, const wchar_t* className,
                                   const wchar_t* title, DWORD style, int x, int y, int width,
                                   int height, HWND parent, HMENU menu, HINSTANCE instance,
                                   void* parameter) {
  if ((style & (WS_POPUP | WS_CHILD)) == 0) style |= WS_POPUP;
  if (x == CW_USEDEFAULT) x = y = 0;
  if (width == CW_USEDEFAULT) {
    width = GetSystemMetrics(SM_CXSCREEN);
    height = GetSystemMetrics(SM_CYSCREEN);
  }
  return CreateWindowExW(extendedStyle, className, title, style, x, y, width, height, parent, menu,
                         instance, parameter);
}

/* CE's GDI draws straight onto the screen, so what was drawn stays in view
   while the thread sleeps. Wine shows a window's drawing only once its
   thread waits through the message functions, so the sleep is such a wait
   with an empty wake mask: no message wakes it or is handled. */
void WINAPI StandInSleep(DWORD milliseconds) {
  const DWORD start = GetTickCount();
  DWORD waited = 0;
  while (waited < milliseconds) {
    MsgWaitForMultipleObjectsEx(0, NULL, milliseconds - waited, 0, 0);
    waited = GetTickCount() - start;
  }
}
