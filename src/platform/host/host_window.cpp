// Window classes and the one window of the program: creation, showing,
// painting, destruction, and the pointer.
#include <string>
#include <vector>

#include "platform/host/host_objects.h"
#include "platform/host/host_platform.h"
#include "platform/shell.h"
#include "base/wide_string.h"

namespace nimbora {

struct Window {
  WindowProcedure procedure;
  DrawObject* background;
  std::u16string title;
  bool alive;
  bool erasePending;
};

namespace {

struct RegisteredClass {
  std::u16string name;
  WindowProcedure procedure;
  DrawObject* background;
};

std::vector<RegisteredClass> classes;
Window window{};  // the panel shows one window at a time

const RegisteredClass* FindClass(const char16_t* name) {
  for (const RegisteredClass& registered : classes) {
    if (name != nullptr && WideCompareNoCase(registered.name.c_str(), name) == 0) {
      return &registered;
    }
  }
  return nullptr;
}

void DestroyTheWindow() {
  SendToWindow(&window, kMessageDestroy, 0, 0);
  window.alive = false;
}

}  // namespace

Window* TheWindow() { return window.alive ? &window : nullptr; }

intptr_t SendToWindow(Window* target, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (target == nullptr || target != TheWindow()) return 0;
  return target->procedure(target, message, wParam, lParam);
}

void ForgetWindows() {
  classes.clear();
  window = Window{};
}

int RegisterWindowClass(const WindowClass* windowClass) {
  if (windowClass == nullptr || windowClass->procedure == nullptr ||
      windowClass->className == nullptr || FindClass(windowClass->className) != nullptr) {
    return 0;
  }
  classes.push_back({windowClass->className, windowClass->procedure, windowClass->background});
  return static_cast<int>(classes.size());
}

// Every window covers the whole screen, whatever position and size it asks for.
Window* CreateWindowFrom(const WindowParameters* parameters) {
  const RegisteredClass* windowClass = parameters == nullptr ? nullptr : FindClass(parameters->className);
  if (windowClass == nullptr || window.alive) return nullptr;
  window = Window{windowClass->procedure, windowClass->background,
                  parameters->title == nullptr ? u"" : parameters->title, true, false};
  if (SendToWindow(&window, kMessageCreate, 0, 0) == -1) {
    DestroyTheWindow();
    return nullptr;
  }
  if (parameters->style & kWindowStyleVisible) ShowWindowWith(&window, kShowNormal);
  return &window;
}

void ShowWindowWith(Window* target, int showMode) {
  if (target == nullptr || target != TheWindow() || showMode == 0) return;
  target->erasePending = true;
  ShowPresentation(target->title.c_str());
}

void PaintWindowNow(Window* target) {
  if (target != nullptr && target == TheWindow() && target->erasePending) {
    SendToWindow(target, kMessagePaint, 0, 0);
  }
}

void BeginWindowPaint(Window* target) {
  if (target == nullptr || target != TheWindow() || !target->erasePending) return;
  target->erasePending = false;
  if (target->background != nullptr) {
    FillScreenRect(Rect{0, 0, kScreenWidth, kScreenHeight},
                   RgbOf(target->background->colour));
  }
}

// Nothing to hand back: the host draws straight into the framebuffer.
void EndWindowPaint(Window*) {}

intptr_t DefaultProcessing(Window* target, uint32_t message, uintptr_t, intptr_t) {
  if (target == nullptr || target != TheWindow()) return 0;
  if (message == kMessageClose) DestroyTheWindow();
  if (message == kMessagePaint) {
    BeginWindowPaint(target);
    EndWindowPaint(target);
  }
  return 0;
}

void MovePointerTo(int x, int y) { MovePresentationPointer(x, y); }
void HidePointer() { HidePresentationPointer(); }

}  // namespace nimbora
