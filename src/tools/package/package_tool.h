// What the three nimbora-package commands share: a simulated device (the
// overlay over a real tree, with a package placed virtually), one headless
// run of the whole Updater on it, and the texts that run drew. This is tool
// logic, not a program: make, check and preview each run the Updater's own
// logic through it, so none of them holds a second copy of the rules.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "display/status_screen.h"
#include "platform/host/host_platform.h"
#include "overlay/overlay_file_system.h"
#include "version/version_values.h"

namespace nimbora {

constexpr int kToolUsageStatus = 2;

// A host tree seen through the seam: the device root, a package directory, OLD or NEW.
struct HostTree {
  HostTree() = default;
  HostTree(const HostTree&) = delete;
  HostTree& operator=(const HostTree&) = delete;
  ~HostTree() { CloseHostFileSystem(state); }

  HostFileSystemState* state = nullptr;
  FileSystem fileSystem{};
};

// Fails with a message when path is not a directory.
bool OpenHostTree(const std::string& path, HostTree* tree, std::string* error);

enum class PackagePlace { Card, Flash };

// The device tree (or nothing) below, the package mounted at its place, the
// application directory optionally replaced by another tree (make's OLD).
struct SimulatedDevice {
  HostTree device;
  HostTree package;
  HostTree application;
  OverlayFileSystem overlay;
};

struct DeviceSetup {
  const char* deviceRoot;       // or nullptr: an empty device
  const char* packageDir;
  PackagePlace place;
  const char* applicationDir;   // or nullptr: the device's own
};

// Installs nothing: a command that runs the logic on the device installs
// device->overlay.fileSystem itself.
bool OpenSimulatedDevice(const DeviceSetup& setup, SimulatedDevice* device, std::string* error);
void CloseSimulatedDevice(SimulatedDevice* device);
const char16_t* PackageDirectoryOf(PackagePlace place);

enum class DrawnFont { Default, Large, Small };

// A text the run drew, as the drawing hook told it.
struct DrawnText {
  std::u16string text;
  std::optional<ScreenBand> band;  // none: drawn outside the screen's bands
  DrawnFont font;
  bool cut;  // clipped at the band's edges
};

// The font that drew the screens' face (kScreenFaceName).
struct ScreenFont {
  std::string family;
  std::string file;
  bool substitute;  // another family stood in, so every fit is approximate
};
// The session's font for the screens' face; call within a host session.
ScreenFont FontOfScreens();

struct RunOptions {
  const char* screensDir;  // or nullptr
  const char* fontFile;    // or nullptr
  const char16_t* language;  // "Langue" set before the run, or nullptr
  // Installed for the run instead of the overlay: a layer over it, or nullptr.
  FileSystem* fileSystem = nullptr;
  bool applicationFails = false;  // no stand-in: the start of the application fails
  // Told of every text as it is drawn, while the run's file system is installed.
  void (*textDrawn)(void* context, const DrawnText& text) = nullptr;
  void* context = nullptr;
  // Font matches kept from one run to the next (HostOptions::fontCache), or nullptr.
  const char* fontCache = nullptr;
};

struct RunRecord {
  int exitStatus;
  std::vector<OverlayChange> changes;  // what the run asked for, in order
  std::vector<DrawnText> texts;
  Language language;                   // the user's language the run chose
  ScreenFont font;
};

// Runs the Updater once, headless on the virtual clock, with the simulated
// device installed as the file system for the run; the one in use before is
// back afterwards. A key is pressed at the wait. The
// application it starts is a stand-in that does nothing (or none, when
// applicationFails), so no program of the real tree runs. Returns false with a message when the host session
// cannot start.
bool RunUpdaterOn(SimulatedDevice* device, const RunOptions& options, RunRecord* record,
                  std::string* error);

// Widths of texts as the status screen draws them, in its large and small
// fonts (through the screen set-up of the logic), in a session of their own.
struct TextWidths {
  int large;
  int small;
  int standard = 0;  // in the device context's default font (the footer's)
};
bool MeasureTexts(const std::vector<std::u16string>& texts, const char* fontFile,
                  std::vector<TextWidths>* widths, ScreenFont* font, std::string* error);
// Whether a screen text of these widths is cut at its band's edges.
bool IsCut(const TextWidths& widths, const ScreenText& screenText);

// The lines of a profile file as the panel reads them (at most 259
// characters, LF kept when a line end closed them).
std::vector<std::u16string> ReadProfileLines(FileSystem* fileSystem, const char16_t* path);
// The section names of a profile file, in order.
std::vector<std::u16string> ProfileSections(FileSystem* fileSystem, const char16_t* path);

// Every entry below a directory, depth first, as paths relative to it
// ("Maps\", "Maps\city.map"; directories end with "\").
std::vector<std::u16string> ListTree(FileSystem* fileSystem, const std::u16string& directory);
bool ReadWholeFile(FileSystem* fileSystem, const std::u16string& path, std::string* bytes);

std::string Utf8(const std::u16string& text);
std::u16string Wide(const std::string& text);
std::string Json(const std::u16string& text);
// Whether two names or values match as the device compares them (letter case ignored).
bool Same(const std::u16string& a, const std::u16string& b);
// Values in the text forms the panel writes them in.
std::string VersionText(const VersionNumber& version);
std::string TimeText(const UpdateTime& time);

}  // namespace nimbora
