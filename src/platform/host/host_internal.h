// Shared between the host backend's files; not part of the seam.
#pragma once

#include <cstdint>
#include <string>

#include "platform/drawing.h"

namespace nimbora {

// Framebuffer (host_framebuffer.cpp). Pixels are 0x00RRGGBB.
uint32_t RgbOf(Colour colour);
void ClearScreen();
void FillScreenRect(const Rect& rect, uint32_t rgb);                   // right and bottom excluded
void BlendScreenPixel(int x, int y, uint32_t rgb, unsigned coverage);  // coverage 0..255

// Fonts (host_fonts.cpp).
struct HostFont;
HostFont* OpenHostFont(const LogicalFont* font);  // nullptr when no face is found
HostFont* DefaultHostFont();
void CloseHostFont(HostFont* font);
int HostFontLogicalHeight(const HostFont* font);  // 0 for the default font
int HostFontCellHeight(const HostFont* font);
int MeasureHostText(HostFont* font, const char16_t* text, int length);
// Draws with the baseline at top + ascent, touching only pixels inside clip.
void RenderHostText(HostFont* font, const char16_t* text, int length, int x, int top,
                    const Rect& clip, uint32_t rgb);

// Draw log (host_draw_log.cpp): fields after "t", as JSON text.
bool OpenDrawLog(const char* path, std::string* error);  // nullptr: no log
void CloseDrawLog();
void LogEvent(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string JsonString(const char16_t* text, int length);
std::string Utf8Of(const char16_t* text, int length);

// Resources (host_resources.cpp).
struct AcceleratorEntry {
  unsigned key;
  unsigned command;
  bool control;
};
const AcceleratorEntry* FindAccelerator(const Accelerators* table, unsigned key, bool control);

// Window and messages (host_window.cpp, host_messages.cpp).
Window* TheWindow();  // nullptr unless a window exists
intptr_t SendToWindow(Window* window, uint32_t message, uintptr_t wParam, intptr_t lParam);
void RequestClose();  // the user closed the presented window
void PushKeyDown(unsigned virtualKey, bool control);
bool MessagesPending();
void ForgetWindows();
void ForgetMessages();

// Key presses for key waits (host_keys.cpp).
constexpr unsigned kVirtualKeyControl = 0x11;
// Checks a comma-separated key list; on failure error names the bad key.
bool QueueKeyList(const char* list, std::string* error);
// Delivers the next queued press as key-downs; false when none is left.
bool PressNextQueuedKey();
void ForgetQueuedKeys();

// Presentation (host_present_sdl.cpp).
bool OpenPresentation(std::string* error);
bool PresentationOpen();
void ShowPresentation(const char16_t* title);
void PresentScreen();
void MovePresentationPointer(int x, int y);
void HidePresentationPointer();
// Handles pending window events; with waitMilliseconds > 0 waits for one first.
void PumpPresentation(int waitMilliseconds);
void ClosePresentation();

// Session (host_session.cpp).
const char* DeviceRoot();
// The program is about to wait: shows the screen and writes it out.
void AboutToWait();
// The queue is empty and the program needs input: returns once some arrived.
void WaitForInput();

// Screens (host_screens_png.cpp).
bool WriteScreenPng(const char* path);

}  // namespace nimbora
