// Starting a program through shell32's execute service.
#include <windows.h>
#include <shellapi.h>

#include <cstddef>

#include "platform/shell.h"
#include "win32_handles.h"

namespace nimbora {

static_assert(kExecuteNoErrorDialog == SEE_MASK_FLAG_NO_UI, "the seam's mask is the system's");
static_assert(offsetof(ExecuteRequest, mask) == offsetof(SHELLEXECUTEINFOW, fMask) &&
                  offsetof(ExecuteRequest, owner) == offsetof(SHELLEXECUTEINFOW, hwnd) &&
                  offsetof(ExecuteRequest, verb) == offsetof(SHELLEXECUTEINFOW, lpVerb) &&
                  offsetof(ExecuteRequest, file) == offsetof(SHELLEXECUTEINFOW, lpFile) &&
                  offsetof(ExecuteRequest, parameters) ==
                      offsetof(SHELLEXECUTEINFOW, lpParameters) &&
                  offsetof(ExecuteRequest, directory) == offsetof(SHELLEXECUTEINFOW, lpDirectory) &&
                  offsetof(ExecuteRequest, show) == offsetof(SHELLEXECUTEINFOW, nShow),
              "the request is laid out as the start of the system's record");
#ifndef _WIN64
// Pointers are 32 bits wide here, as on the panel, so the whole record has
// the size the logic writes into it.
static_assert(sizeof(SHELLEXECUTEINFOW) == kExecuteRequestSize,
              "the request's size is the 32-bit system's record");
#endif

// The record's size is the system's own (60 bytes on the 32-bit device,
// larger on 64-bit Windows), not the one the caller filled in.
int StartProgram(ExecuteRequest* request) {
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = request->mask;
  info.hwnd = AsHwnd(request->owner);
  info.lpVerb = AsWide(request->verb);
  info.lpFile = AsWide(request->file);
  info.lpParameters = AsWide(request->parameters);
  info.lpDirectory = AsWide(request->directory);
  info.nShow = request->show;
  return ShellExecuteExW(&info) ? 1 : 0;
}

}  // namespace nimbora
