// Drawing seam: a device context on the window and the device's GDI subset.
#pragma once

#include <cstdint>

#include "platform/window.h"

namespace nimbora {

struct Surface;  // a device context

struct Rect {
  int32_t left, top, right, bottom;
};

constexpr int kFaceNameCapacity = 32;

// Laid out field for field as the device's logical-font record.
struct LogicalFont {
  int32_t height;
  int32_t width;
  int32_t escapement;
  int32_t orientation;
  int32_t weight;
  uint8_t italic;
  uint8_t underline;
  uint8_t strikeOut;
  uint8_t charSet;
  uint8_t outPrecision;
  uint8_t clipPrecision;
  uint8_t quality;
  uint8_t pitchAndFamily;
  char16_t faceName[kFaceNameCapacity];
};

constexpr uint32_t kAlignLeft = 0;
constexpr uint32_t kAlignCenter = 1;
constexpr uint32_t kAlignRight = 2;
constexpr uint32_t kCalculateRect = 0x400;
constexpr int kBackgroundTransparent = 1;

// 0x00BBGGRR, as the device's colour values.
using Colour = uint32_t;

Surface* GetWindowSurface(Window* window);
void ReleaseWindowSurface(Window* window, Surface* surface);
DrawObject* CreateFontFrom(const LogicalFont* font);
DrawObject* CreateSolidBrushOf(Colour colour);
DrawObject* SelectIntoSurface(Surface* surface, DrawObject* object);  // returns the one replaced
int DeleteDrawObject(DrawObject* object);
void SetSurfaceTextColour(Surface* surface, Colour colour);
void SetSurfaceBackgroundMode(Surface* surface, int mode);
void FillWithBrush(Surface* surface, const Rect* rect, DrawObject* brush);
// length -1: up to the terminating null. With kCalculateRect nothing is drawn
// and rect->right becomes rect->left plus the text's width.
int DrawTextInRect(Surface* surface, const char16_t* text, int length, Rect* rect,
                   uint32_t format);

// A text drawn (not measured), as a backend that can tell reports it, so a
// tool or a test can watch the screen in-process.
struct DrawnTextReport {
  const char16_t* text;     // length characters, not terminated
  int length;
  Rect rect;                // as given to the draw
  uint32_t format;
  const LogicalFont* font;  // the selected font's record; nullptr: the default font
  bool cut;                 // clipped at the rectangle's edges
};

// Set by the caller that watches; context is handed back on every report.
struct DrawingHook {
  void (*textDrawn)(void* context, const DrawnTextReport* drawn);
  void* context;
};

// Copies the hook; nullptr (or no function) stops the reports.
void SetDrawingHook(const DrawingHook* hook);
// For backends: tells the hook, when one is set.
void ReportDrawnText(const DrawnTextReport* drawn);

}  // namespace nimbora
