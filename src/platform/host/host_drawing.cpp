// Device contexts, fonts and brushes: creation, selection, deletion, fills.
#include "platform/host/host_objects.h"
#include "platform/host/host_platform.h"

namespace nimbora {

namespace {

constexpr Colour kDefaultTextColour = 0;  // black, as a fresh device context

int liveResources = 0;

DrawObject* NewObject(DrawObject object) {
  ++liveResources;
  return new DrawObject(object);
}

}  // namespace

HostFont* SelectedHostFont(const Surface* surface) {
  return surface->font == nullptr ? DefaultHostFont() : surface->font->font;
}

int HostLiveDrawingResources() { return liveResources; }

DrawObject* StockObject(int id) {
  static DrawObject blackBrush{ObjectKind::Brush, true, 0, 0, nullptr};
  return id == kStockBlackBrush ? &blackBrush : nullptr;
}

Surface* GetWindowSurface(Window* window) {
  if (window == nullptr || window != TheWindow()) return nullptr;
  ++liveResources;
  return new Surface{window, nullptr, kDefaultTextColour, kBackgroundOpaque};
}

void ReleaseWindowSurface(Window*, Surface* surface) {
  if (surface == nullptr) return;
  if (surface->font != nullptr) --surface->font->selections;
  --liveResources;
  delete surface;
}

DrawObject* CreateFontFrom(const LogicalFont* font) {
  HostFont* hostFont = font == nullptr ? nullptr : OpenHostFont(font);
  return hostFont == nullptr ? nullptr : NewObject({ObjectKind::Font, false, 0, 0, hostFont});
}

DrawObject* CreateSolidBrushOf(Colour colour) {
  return NewObject({ObjectKind::Brush, false, 0, colour, nullptr});
}

// Only fonts are ever selected; the device's default font is represented
// by nullptr, which selecting back restores.
DrawObject* SelectIntoSurface(Surface* surface, DrawObject* object) {
  if (surface == nullptr || (object != nullptr && object->kind != ObjectKind::Font)) {
    return nullptr;
  }
  DrawObject* replaced = surface->font;
  if (replaced != nullptr) --replaced->selections;
  if (object != nullptr) ++object->selections;
  surface->font = object;
  return replaced;
}

// Like the device, an object still selected into a device context is not
// deleted; the failure shows up as a live resource.
int DeleteDrawObject(DrawObject* object) {
  if (object == nullptr || object->selections > 0) return 0;
  if (object->stock) return 1;
  if (object->font != nullptr) CloseHostFont(object->font);
  --liveResources;
  delete object;
  return 1;
}

void SetSurfaceTextColour(Surface* surface, Colour colour) {
  if (surface != nullptr) surface->textColour = colour;
}

void SetSurfaceBackgroundMode(Surface* surface, int mode) {
  if (surface != nullptr) surface->backgroundMode = mode;
}

void FillWithBrush(Surface* surface, const Rect* rect, DrawObject* brush) {
  if (surface == nullptr || rect == nullptr || brush == nullptr || brush->kind != ObjectKind::Brush) {
    return;
  }
  LogEvent("\"op\":\"fill\",\"rect\":[%d,%d,%d,%d]", rect->left, rect->top, rect->right,
           rect->bottom);
  FillScreenRect(*rect, RgbOf(brush->colour));
}

}  // namespace nimbora
