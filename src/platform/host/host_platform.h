// The host backend's public controls: where the device tree lives, whether a
// real window is shown, how text is drawn, and what the run leaves behind
// for people and tests (screens as PNG files, a log of drawing and window
// events). Everything else of the backend is reached through the seam.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/file_system.h"
#include "platform/window.h"

namespace nimbora {

// The longest host path the backend forms, the terminating null included.
constexpr size_t kHostPathCapacity = 4096;

// The host's file system: device paths mapped onto a directory tree below
// root, with the device's names, error codes and rules.
struct HostFileSystemState;
// Fills fileSystem with the host operations over root and returns their
// state, or returns nullptr (leaving fileSystem untouched) when root is empty
// or does not fit.
HostFileSystemState* OpenHostFileSystem(FileSystem* fileSystem, const char* root);
void CloseHostFileSystem(HostFileSystemState* state);

// Maps a device path ("\ResidentFlash\Nimbora\main.ini") to the host path
// below root, as every operation does: components are separated by "\" or
// "/"; trailing full stops and blanks are dropped as the device drops them
// (all of them from the last component, one full stop from the others); each
// name is matched ignoring case against the entries that exist (an exact
// spelling wins), and a name that exists in no letter case is used as
// spelled, so new files get the caller's spelling. "." is ignored and ".."
// goes up, never above root. Fails, rather than truncating, when the result
// does not fit in capacity, and when it would pass through a symbolic link.
bool MapDevicePath(const char* root, const char16_t* devicePath, char* hostPath, size_t capacity);
// False for "." and "..", which a host path never takes as a name, and for a
// name with a backslash, which the device would read as a path: no device
// name is such a name, so the host's listings never yield one and no path
// resolves to one.
bool IsDeviceName(const char* hostName);


// Named field by field; what is left out is zero (off, none).
struct HostOptions {
  const char* root;         // host directory holding the device tree
  // The file system installed for the session, or nullptr: the host's over
  // root. Programs the Updater starts are found below root either way.
  FileSystem* fileSystem;
  bool window;              // show an SDL window (needs a display)
  bool virtualClock;        // sleeps return at once and advance the clock
  const char* keys;         // key presses for the key waits ("a,ctrl+q"), or nullptr
  // PNG of the screen at every wait, before a blanking covers a text drawn
  // since the last one, and at the end; or nullptr.
  const char* screensDir;
  const char* drawLogPath;  // one JSON object per drawing or window event, or nullptr
  // Above 0, no font is loaded: every character advances this many pixels,
  // a font's cell is its logical height (16 for the default font), and a
  // character is drawn as a block filling its cell but the last column.
  int fixedFontAdvance;
  // When set, every face a program asks for is drawn with this font file
  // (the default font, which no program names, keeps its system match).
  const char* fontFile;
  // The file keeping font matches from one run to the next, or nullptr to
  // match afresh in every run.
  const char* fontCache;
  // When set, each request to start a program appends to this file the
  // monotonic clock's time in nanoseconds, to time the hand-off from outside.
  const char* launchTimes;
};

// Starts the host session: installs the file system (the options' or the
// host's over root) and the clock, opens the log, queues the keys, clears the screen. Without a usable
// display it goes on without a window (and says so on stderr). Fonts are set
// up only once text is first measured or drawn. On failure (or while a
// session runs) returns 0 with a message in error.
int HostStart(const HostOptions* options, char* error, int capacity);
// Ends the session: logs the exit code, writes the last screen, closes the
// log and the window, puts back the file system and clock that were in use
// before, and releases everything the session made.
void HostFinish(int exitCode);

// A key press as if made on the keyboard now (Control held or not); it is
// delivered to the window by the message queue.
void HostPressKey(unsigned virtualKey, bool control);

// The screen as 0x00RRGGBB pixels, row by row, kScreenWidth per row;
// nullptr outside a session.
const uint32_t* HostScreenPixels();
// How many screens the session has written so far (001.png ... that number).
int HostScreensWritten();
// Device contexts, fonts and brushes created and not yet released or deleted.
int HostLiveDrawingResources();

// The font file that draws a face in this session, and its family: the
// fontFile option, or the system's best match, which is a substitute when
// its family is not the one asked for. False under a fixed advance or when no
// font is found. The texts stay valid until HostFinish.
struct HostFontUse {
  const char* file;
  const char* family;
  bool substitute;
};
bool HostFontUsed(const char* face, HostFontUse* use);

// Whether FreeType opens the file as a font, as the fontFile option needs;
// no session is needed.
bool IsLoadableFont(const char* path);

}  // namespace nimbora
