/* A stand-in for the Nimbora application in the Wine tests: each start
   appends a line with its arguments to started.log beside the executable. */
#include <windows.h>

#include <stdio.h>
#include <wchar.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR arguments, int show) {
  static const wchar_t logName[] = L"started.log";
  wchar_t path[MAX_PATH];
  DWORD length = GetModuleFileNameW(NULL, path, MAX_PATH);
  wchar_t* slash = wcsrchr(path, L'\\');
  FILE* log;
  (void)instance, (void)previous, (void)show;
  if (length == 0 || length >= MAX_PATH || slash == NULL) return 1;
  if ((size_t)(slash + 1 - path) + sizeof logName / sizeof logName[0] > MAX_PATH) return 1;
  wcscpy(slash + 1, logName);
  log = _wfopen(path, L"ab");
  if (log == NULL) return 1;
  fprintf(log, "started with arguments [%ls]\n", arguments);
  return fclose(log) == 0 ? 0 : 1;
}
