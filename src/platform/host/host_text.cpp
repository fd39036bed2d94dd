// Drawing text in a rectangle: one line from the top edge, aligned left,
// centred or right, clipped to the rectangle; or only measured.
#include <algorithm>

#include "platform/host/host_objects.h"
#include "base/wide_string.h"

namespace nimbora {

namespace {

constexpr uint32_t kOpaqueBackground = 0xFFFFFF;  // a fresh device context's white

int AlignedLeft(const Rect& rect, int width, uint32_t format) {
  if (format & kAlignCenter) return (rect.left + rect.right - width) / 2;
  if (format & kAlignRight) return rect.right - width;
  return rect.left;
}

Rect Intersection(const Rect& a, const Rect& b) {
  return Rect{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
              std::min(a.bottom, b.bottom)};
}

}  // namespace

int DrawTextInRect(Surface* surface, const char16_t* text, int length, Rect* rect,
                   uint32_t format) {
  if (surface == nullptr || text == nullptr || rect == nullptr) return 0;
  if (length < 0) length = WideLength(text);
  HostFont* font = SelectedHostFont(surface);
  int width = MeasureHostText(font, text, length);
  int height = HostFontCellHeight(font);
  if (format & kCalculateRect) {
    rect->right = rect->left + width;
    rect->bottom = rect->top + height;
    return height;
  }
  LogEvent("\"op\":\"text\",\"text\":%s,\"rect\":[%d,%d,%d,%d],\"format\":%u,\"font\":%d",
           JsonString(text, length).c_str(), rect->left, rect->top, rect->right, rect->bottom,
           format, HostFontLogicalHeight(font));
  int left = AlignedLeft(*rect, width, format);
  if (surface->backgroundMode == kBackgroundOpaque) {
    FillScreenRect(Intersection(*rect, Rect{left, rect->top, left + width, rect->top + height}),
                   kOpaqueBackground);
  }
  RenderHostText(font, text, length, left, rect->top, *rect, RgbOf(surface->textColour));
  return height;
}

}  // namespace nimbora
