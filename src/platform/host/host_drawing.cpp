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

// What a fresh device context has selected: the device's system font.
DrawObject* DefaultFontObject() {
  static DrawObject font{ObjectKind::Font, true, 0, 0, nullptr};
  if (font.font == nullptr) font.font = DefaultHostFont();
  return &font;
}

}  // namespace

HostFont* SelectedHostFont(const Surface* surface) { return surface->font->font; }

int HostLiveDrawingResources() { return liveResources; }

DrawObject* StockObject(int id) {
  static DrawObject blackBrush{ObjectKind::Brush, true, 0, 0, nullptr};
  return id == kStockBlackBrush ? &blackBrush : nullptr;
}

Surface* GetWindowSurface(Window* window) {
  if (window == nullptr || window != TheWindow()) return nullptr;
  ++liveResources;
  DrawObject* font = DefaultFontObject();
  ++font->selections;
  return new Surface{window, font, kDefaultTextColour, kBackgroundOpaque};
}

void ReleaseWindowSurface(Window*, Surface* surface) {
  if (surface == nullptr) return;
  --surface->font->selections;
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

// The Updater selects only fonts; brushes are handed to the fill directly.
DrawObject* SelectIntoSurface(Surface* surface, DrawObject* object) {
  if (surface == nullptr || object == nullptr || object->kind != ObjectKind::Font) return nullptr;
  DrawObject* replaced = surface->font;
  --replaced->selections;
  ++object->selections;
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
  if (surface == nullptr || rect == nullptr || brush == nullptr ||
      brush->kind != ObjectKind::Brush) {
    return;
  }
  LogEvent("\"op\":\"fill\",\"rect\":[%d,%d,%d,%d]", rect->left, rect->top, rect->right,
           rect->bottom);
  FillScreenRect(*rect, RgbOf(brush->colour));
}

}  // namespace nimbora
