// The host backend's state and what its files share; not part of the seam.
// All mutable state of a session lives in one HostSession record: HostStart
// makes it, HostFinish releases it whole. The files by role:
//   host_session.cpp  options, start and finish, clock, waits, draw log, shell
//   host_window.cpp   window classes, the window, messages, keys, resources
//   host_screen.cpp   framebuffer, drawing objects, fonts (and the matches
//                     kept across runs), text, PNG screens
//   host_sdl.cpp      the optional SDL window that shows the framebuffer
#pragma once

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/drawing.h"
#include "platform/file_system.h"
#include "host_file_system.h"
#include "host_platform.h"

struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;

namespace nimbora {

// A face opened at a size; face is nullptr under a fixed advance.
struct HostFont {
  FT_Face face;
  int logicalHeight;  // as asked; 0 for the default font
  int cellHeight;
  int ascent;
  std::string faceName;  // as asked, in UTF-8
  bool substitute;       // drawn with another family than faceName
  LogicalFont logical;   // as asked, for the drawing hook
};

// What a face name (at a weight and slant, or by the fontFile option) was
// matched with, kept for the session.
struct FaceMatch {
  std::string name;
  int weight;
  bool italic;
  bool byFontFile;
  std::string file;
  int index;
  std::string family;
  bool substitute;
};

enum class ObjectKind { Font, Brush };

struct DrawObject {
  ObjectKind kind;
  bool stock;      // never deleted
  int selections;  // device contexts it is selected into
  Colour colour;   // brush
  HostFont* font;  // font; nullptr for the default font until it is first used
};

struct Surface {
  Window* window;
  DrawObject* font;  // never nullptr: the default font at first
  Colour textColour;
  int backgroundMode;
};

struct Window {
  WindowProcedure procedure;
  DrawObject* background;
  std::u16string title;
  bool alive;
  bool erasePending;
};

struct RegisteredClass {
  std::u16string name;
  WindowProcedure procedure;
  DrawObject* background;
};

struct KeyPress {
  unsigned virtualKey;
  bool control;
};

struct AcceleratorEntry {
  unsigned key;
  unsigned command;
  bool control;
};

struct Icon {
  unsigned id;
};

struct Accelerators {
  const AcceleratorEntry* entries;
  int count;
};

struct FreePixels {
  void operator()(uint32_t* pixels) const { free(pixels); }
};

struct HostSession {
  // Session (host_session.cpp).
  bool virtualClock;
  int fixedFontAdvance;
  std::string fontFile;  // "" when none
  std::string screensDir;
  int screensWritten;
  FileSystem* previousFileSystem;
  Clock* previousClock;
  HostFileSystemState fileSystemState;
  FileSystem fileSystem;
  Clock clock;
  uint64_t realStart;    // monotonic milliseconds at the start
  uint64_t virtualTime;  // the virtual clock's milliseconds
  FILE* drawLog;
  std::string launchTimesPath;  // "" when launch times are not written

  // Window (host_window.cpp).
  std::vector<RegisteredClass> classes;
  Window window;  // the panel shows one window at a time
  std::deque<Message> posted;
  std::deque<KeyPress> input;   // key-downs for the window
  std::deque<KeyPress> queued;  // presses given as options, made at key waits
  bool quitPending;
  int quitCode;
  bool controlHeld;  // as the key state was when the current key message arrived
  Icon icon;
  Accelerators accelerators;

  // Screen (host_screen.cpp). Pixels are 0x00RRGGBB. They come zeroed from
  // calloc, whose fresh pages are not touched until drawn on.
  std::unique_ptr<uint32_t[], FreePixels> pixels;
  // Every pixel outside painted has the ground colour, so clearing the whole
  // screen to that colour clears only what was painted since.
  uint32_t ground;
  Rect painted;
  // Where texts were drawn since the screen was last written: a blanking
  // that covers any of it writes the screen first, so a text that stands
  // only while the program works (the "Update" text) gets its own PNG.
  Rect textSinceScreen;
  unsigned char pngRow[kScreenWidth * 3];
  std::vector<Surface*> surfaces;
  std::vector<DrawObject*> objects;  // fonts and brushes not yet deleted
  DrawObject blackBrush;
  DrawObject defaultFont;
  FT_Library fontLibrary;
  FcConfig* fontConfig;
  std::vector<FaceMatch> faceMatches;
  std::string fontCachePath;  // "" when matches are not kept across runs
  bool fontCacheRead;

  // SDL window (host_sdl.cpp).
  bool sdlStarted;
  SDL_Window* sdlWindow;
  SDL_Renderer* renderer;
  SDL_Texture* texture;
};

// The running session, or nullptr outside HostStart .. HostFinish: the seam's
// calls carry no state of their own, so this one pointer leads to it.
extern HostSession* hostSession;

// Session (host_session.cpp).
// Appends a line to the draw log: the fields after "t", as JSON text.
void LogEvent(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Utf8Of(const char16_t* text, int length);  // lone surrogates as U+FFFD
std::string JsonString(const std::string& utf8);
// The program is about to wait: shows the screen and writes it out.
void AboutToWait();
// Writes the screen as the next numbered PNG, when screens are kept.
void WriteNextScreen();
// The queue is empty and the program needs input: false when none can come
// (no window and no queued key left); the message is then on stderr.
bool WaitForInput();

// Window (host_window.cpp).
// Queues the presses of a comma-separated key list; error names a bad key.
bool QueueKeyList(HostSession* session, const char* list, std::string* error);
void PushKeyDown(unsigned virtualKey, bool control);
void RequestClose();  // the user closed the presented window
Window* TheWindow();  // nullptr unless a window exists

// Screen (host_screen.cpp).
uint32_t RgbOf(Colour colour);
void FillScreenRect(const Rect& rect, uint32_t rgb);  // right and bottom excluded
void ReleaseScreen(HostSession* session);            // every object, font and handle
bool WriteScreenPng(const char* path);

// Font matches kept across runs (host_screen.cpp).
// Adds to the session's matches those of the cache file that still hold for
// the fonts and font configuration on the system; once per session.
void LoadFontMatches(HostSession* session);
// Writes the session's system matches when it has set up fontconfig.
void SaveFontMatches(HostSession* session);

// SDL window (host_sdl.cpp).
bool OpenPresentation(std::string* error);
void ShowPresentation(const char16_t* title);
void PresentScreen();
void MovePresentationPointer(int x, int y);
void HidePresentationPointer();
// Handles pending window events; with waitMilliseconds > 0 waits for one first.
void PumpPresentation(int waitMilliseconds);
void ClosePresentation();

}  // namespace nimbora
