// The windowing seam on user32.
#include <windows.h>

#include "win32_handles.h"
#include "platform/window.h"

namespace nimbora {

namespace {

// The backend's window state, in one record.
struct Win32WindowState {
  // The logic's procedure for the class registered last; the program
  // registers one class, so one slot is all the trampoline needs.
  WindowProcedure registeredProcedure;
  // Painting begins and ends within one paint message on the one thread.
  PAINTSTRUCT paint;
};

Win32WindowState windowState{};

LRESULT CALLBACK Trampoline(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return windowState.registeredProcedure(AsWindow(window), message, wParam, lParam);
}

MSG ToMsg(const Message* message) {
  MSG msg{};
  msg.hwnd = AsHwnd(message->window);
  msg.message = message->message;
  msg.wParam = message->wParam;
  msg.lParam = message->lParam;
  return msg;
}

// The device captions a top-level window only when asked and gives default
// bounds the whole screen. Desktop Windows captions every window that is
// neither popup nor child and picks a smaller default size, so a window
// meant to cover the screen says so explicitly there.
void MatchDeviceDefaults(DWORD* style, int* x, int* y, int* width, int* height) {
#ifndef _WIN32_WCE
  if ((*style & (WS_POPUP | WS_CHILD)) == 0) *style |= WS_POPUP;
  if (*x == CW_USEDEFAULT) *x = *y = 0;
  if (*width == CW_USEDEFAULT) {
    *width = GetSystemMetrics(SM_CXSCREEN);
    *height = GetSystemMetrics(SM_CYSCREEN);
  }
#else
  (void)style, (void)x, (void)y, (void)width, (void)height;
#endif
}

}  // namespace

int LoadStringResource(Instance* instance, unsigned id, char16_t* buffer, int capacity) {
  return LoadStringW(AsHinstance(instance), id, AsWide(buffer), capacity);
}

Icon* LoadIconResource(Instance* instance, unsigned id) {
  return reinterpret_cast<Icon*>(LoadIconW(AsHinstance(instance), MAKEINTRESOURCEW(id)));
}

Accelerators* LoadAcceleratorResource(Instance* instance, unsigned id) {
  return reinterpret_cast<Accelerators*>(
      LoadAcceleratorsW(AsHinstance(instance), MAKEINTRESOURCEW(id)));
}

DrawObject* StockObject(int id) { return AsDrawObject(GetStockObject(id)); }

int RegisterWindowClass(const WindowClass* windowClass) {
  windowState.registeredProcedure = windowClass->procedure;
  WNDCLASSW native{};
  native.style = windowClass->style;
  native.lpfnWndProc = Trampoline;
  native.cbClsExtra = windowClass->classExtra;
  native.cbWndExtra = windowClass->windowExtra;
  native.hInstance = AsHinstance(windowClass->instance);
  native.hIcon = reinterpret_cast<HICON>(windowClass->icon);
  native.hbrBackground = static_cast<HBRUSH>(AsGdiObject(windowClass->background));
  native.lpszClassName = AsWide(windowClass->className);
  return RegisterClassW(&native) != 0 ? 1 : 0;
}

Window* CreateWindowFrom(const WindowParameters* parameters) {
  DWORD style = parameters->style;
  int x = parameters->x, y = parameters->y, width = parameters->width, height = parameters->height;
  MatchDeviceDefaults(&style, &x, &y, &width, &height);
  return AsWindow(CreateWindowExW(parameters->extendedStyle, AsWide(parameters->className),
                                  AsWide(parameters->title), style, x, y, width, height, nullptr,
                                  nullptr, AsHinstance(parameters->instance), nullptr));
}

void ShowWindowWith(Window* window, int showMode) { ShowWindow(AsHwnd(window), showMode); }
void PaintWindowNow(Window* window) { UpdateWindow(AsHwnd(window)); }
void MovePointerTo(int x, int y) { SetCursorPos(x, y); }
void HidePointer() { ShowCursor(FALSE); }

// GetMessageW gives -1 on an error; that ends the loop like the quit message
// instead of spinning on it.
int GetNextMessage(Message* message) {
  MSG msg{};
  BOOL result = GetMessageW(&msg, nullptr, 0, 0);
  *message = Message{AsWindow(msg.hwnd), msg.message, msg.wParam, msg.lParam};
  return result > 0 ? 1 : 0;
}

int OfferToAccelerators(Window* window, Accelerators* table, Message* message) {
  MSG msg = ToMsg(message);
  return TranslateAcceleratorW(AsHwnd(window), reinterpret_cast<HACCEL>(table), &msg);
}

void TranslateKeyMessage(const Message* message) {
  MSG msg = ToMsg(message);
  TranslateMessage(&msg);
}

intptr_t DispatchToWindow(const Message* message) {
  MSG msg = ToMsg(message);
  return DispatchMessageW(&msg);
}

intptr_t DefaultProcessing(Window* window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  return DefWindowProcW(AsHwnd(window), message, wParam, lParam);
}

void BeginWindowPaint(Window* window) { BeginPaint(AsHwnd(window), &windowState.paint); }
void EndWindowPaint(Window* window) { EndPaint(AsHwnd(window), &windowState.paint); }

int PostToWindow(Window* window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  return PostMessageW(AsHwnd(window), message, wParam, lParam) ? 1 : 0;
}

void PostQuitWith(int exitCode) { PostQuitMessage(exitCode); }

}  // namespace nimbora
