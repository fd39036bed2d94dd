// Windowing seam: the device's window, message queue and resources, named by
// role. Handles are opaque; numeric values are the device's own.
#pragma once

#include <cstdint>

namespace nimbora {

struct Instance;
struct Window;
struct Icon;
struct Accelerators;
struct DrawObject;  // a font or a brush (drawing.h)

// The panel's screen, which the full-screen window covers.
constexpr int kScreenWidth = 800;
constexpr int kScreenHeight = 480;

constexpr uint32_t kMessageCreate = 1;
constexpr uint32_t kMessageDestroy = 2;
constexpr uint32_t kMessagePaint = 15;
constexpr uint32_t kMessageClose = 16;
constexpr uint32_t kMessageQuit = 18;
constexpr uint32_t kMessageKeyDown = 256;
constexpr uint32_t kMessageCommand = 273;

constexpr uint32_t kClassStyleRedrawOnResize = 3;
constexpr uint32_t kWindowStyleVisible = 0x10000000;
constexpr int32_t kDefaultPosition = static_cast<int32_t>(0x80000000u);
constexpr int kStockBlackBrush = 4;

using WindowProcedure = intptr_t (*)(Window* window, uint32_t message, uintptr_t wParam,
                                     intptr_t lParam);

struct Message {
  Window* window;
  uint32_t message;
  uintptr_t wParam;
  intptr_t lParam;
};

struct WindowClass {
  uint32_t style;
  WindowProcedure procedure;
  int classExtra;
  int windowExtra;
  Instance* instance;
  Icon* icon;
  DrawObject* background;
  const char16_t* className;
};

struct WindowParameters {
  uint32_t extendedStyle;
  const char16_t* className;
  const char16_t* title;
  uint32_t style;
  int32_t x, y, width, height;
  Instance* instance;
};

int LoadStringResource(Instance* instance, unsigned id, char16_t* buffer, int capacity);
Icon* LoadIconResource(Instance* instance, unsigned id);
Accelerators* LoadAcceleratorResource(Instance* instance, unsigned id);
DrawObject* StockObject(int id);

int RegisterWindowClass(const WindowClass* windowClass);       // 0 on failure
Window* CreateWindowFrom(const WindowParameters* parameters);  // nullptr on failure
void ShowWindowWith(Window* window, int showMode);
void PaintWindowNow(Window* window);
void MovePointerTo(int x, int y);
void HidePointer();

int GetNextMessage(Message* message);  // 0 once the quit message arrives
int OfferToAccelerators(Window* window, Accelerators* table, Message* message);
void TranslateKeyMessage(const Message* message);
intptr_t DispatchToWindow(const Message* message);
intptr_t DefaultProcessing(Window* window, uint32_t message, uintptr_t wParam, intptr_t lParam);
void BeginWindowPaint(Window* window);
void EndWindowPaint(Window* window);
int PostToWindow(Window* window, uint32_t message, uintptr_t wParam, intptr_t lParam);
void PostQuitWith(int exitCode);

}  // namespace nimbora
