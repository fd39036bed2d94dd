// The drawing seam on gdi32, the subset the device's GDI offers.
#include <windows.h>

#include <cstddef>
#include <cstring>

#include "platform/drawing.h"
#include "win32_handles.h"

namespace nimbora {

namespace {

static_assert(kFaceNameCapacity == LF_FACESIZE, "face names hold LF_FACESIZE characters");
static_assert(sizeof(LogicalFont) == sizeof(LOGFONTW) &&
                  offsetof(LogicalFont, width) == offsetof(LOGFONTW, lfWidth) &&
                  offsetof(LogicalFont, orientation) == offsetof(LOGFONTW, lfOrientation) &&
                  offsetof(LogicalFont, weight) == offsetof(LOGFONTW, lfWeight) &&
                  offsetof(LogicalFont, italic) == offsetof(LOGFONTW, lfItalic) &&
                  offsetof(LogicalFont, strikeOut) == offsetof(LOGFONTW, lfStrikeOut) &&
                  offsetof(LogicalFont, charSet) == offsetof(LOGFONTW, lfCharSet) &&
                  offsetof(LogicalFont, quality) == offsetof(LOGFONTW, lfQuality) &&
                  offsetof(LogicalFont, pitchAndFamily) == offsetof(LOGFONTW, lfPitchAndFamily) &&
                  offsetof(LogicalFont, faceName) == offsetof(LOGFONTW, lfFaceName),
              "the font record is laid out as the system's");
static_assert(sizeof(Rect) == sizeof(RECT) && offsetof(Rect, bottom) == offsetof(RECT, bottom),
              "rectangles are laid out as the system's");
static_assert(kCalculateRect == DT_CALCRECT && kAlignLeft == DT_LEFT && kAlignCenter == DT_CENTER &&
                  kAlignRight == DT_RIGHT && kBackgroundTransparent == TRANSPARENT,
              "the seam's drawing constants are the system's");

RECT ToRect(const Rect& rect) { return RECT{rect.left, rect.top, rect.right, rect.bottom}; }

}  // namespace

Surface* GetWindowSurface(Window* window) {
  return reinterpret_cast<Surface*>(GetDC(AsHwnd(window)));
}

void ReleaseWindowSurface(Window* window, Surface* surface) {
  ReleaseDC(AsHwnd(window), AsHdc(surface));
}

DrawObject* CreateFontFrom(const LogicalFont* font) {
  // The record has the system's layout (checked above), so it is copied whole.
  LOGFONTW native;
  memcpy(&native, font, sizeof native);
  native.lfFaceName[LF_FACESIZE - 1] = L'\0';
  return AsDrawObject(CreateFontIndirectW(&native));
}

DrawObject* CreateSolidBrushOf(Colour colour) { return AsDrawObject(CreateSolidBrush(colour)); }

DrawObject* SelectIntoSurface(Surface* surface, DrawObject* object) {
  return AsDrawObject(SelectObject(AsHdc(surface), AsGdiObject(object)));
}

int DeleteDrawObject(DrawObject* object) { return DeleteObject(AsGdiObject(object)) ? 1 : 0; }

void SetSurfaceTextColour(Surface* surface, Colour colour) { SetTextColor(AsHdc(surface), colour); }

void SetSurfaceBackgroundMode(Surface* surface, int mode) { SetBkMode(AsHdc(surface), mode); }

void FillWithBrush(Surface* surface, const Rect* rect, DrawObject* brush) {
  RECT native = ToRect(*rect);
  FillRect(AsHdc(surface), &native, static_cast<HBRUSH>(AsGdiObject(brush)));
}

int DrawTextInRect(Surface* surface, const char16_t* text, int length, Rect* rect,
                   uint32_t format) {
  RECT native = ToRect(*rect);
  int height = DrawTextW(AsHdc(surface), AsWide(text), length, &native, format);
  *rect = Rect{native.left, native.top, native.right, native.bottom};
  return height;
}

}  // namespace nimbora
