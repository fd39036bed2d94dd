// The rest of the conversions between the seam's opaque handles and strings
// and the Windows ones, inside the backend.
#pragma once

#include <windows.h>

#include "platform/drawing.h"
#include "platform/window.h"
#include "win32_platform.h"

namespace nimbora {

inline const wchar_t* AsWide(const char16_t* text) {
  return reinterpret_cast<const wchar_t*>(text);
}
inline wchar_t* AsWide(char16_t* text) { return reinterpret_cast<wchar_t*>(text); }

inline HWND AsHwnd(Window* window) { return reinterpret_cast<HWND>(window); }
inline Window* AsWindow(HWND window) { return reinterpret_cast<Window*>(window); }
inline HINSTANCE AsHinstance(Instance* instance) { return reinterpret_cast<HINSTANCE>(instance); }
inline HDC AsHdc(Surface* surface) { return reinterpret_cast<HDC>(surface); }
inline HGDIOBJ AsGdiObject(DrawObject* object) { return reinterpret_cast<HGDIOBJ>(object); }
inline DrawObject* AsDrawObject(HGDIOBJ object) { return reinterpret_cast<DrawObject*>(object); }

}  // namespace nimbora
