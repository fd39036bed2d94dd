// The Windows API backend's public controls: the file system and the clock
// that the program installs, and the casts its entry needs from the Windows
// types. Everything else of the backend is reached through the seam.
#pragma once

#include <windows.h>

#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/window.h"

namespace nimbora {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide strings are UTF-16");

// The file system of the Windows API, as the seam's record. Device paths
// ("\ResidentFlash\...") are passed through unchanged: they resolve on the
// current drive.
FileSystem* Win32FileSystem();

// The system's sleep and tick count as the seam's clock.
Clock* Win32Clock();

// The seam's handles are the Windows handles themselves, and char16_t and
// wchar_t are both UTF-16 code units here, so these are casts.
inline Instance* AsInstance(HINSTANCE instance) { return reinterpret_cast<Instance*>(instance); }
inline const char16_t* AsText(const wchar_t* text) {
  return reinterpret_cast<const char16_t*>(text);
}

}  // namespace nimbora
