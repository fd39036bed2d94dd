// The simulated device and one headless run of the Updater on it.
#include <stdlib.h>
#include <sys/stat.h>

#include <climits>
#include <cstdio>
#include <filesystem>

#include <nlohmann/json.hpp>

#include "base/utf8.h"
#include "base/wide_string.h"
#include "control/main_window.h"
#include "display/status_screen.h"
#include "platform/device_locations.h"
#include "platform/drawing.h"
#include "platform/host/host_platform.h"
#include "platform/shell.h"
#include "profile/profile_reader.h"
#include "profile/profile_lines.h"
#include "profile/profile_syntax.h"
#include "profile/profile_writer.h"
#include "package_tool.h"

namespace nimbora {

namespace {

constexpr int kVersionTextCapacity = 20;
constexpr int kTimeTextCapacity = 64;

// A host root for the session with nothing in it but a stand-in for the
// application, so the launch succeeds as on a panel and starts nothing real;
// without it the start fails. The stand-in is a program that does nothing,
// linked or copied in as a file of its own (the host starts no symbolic
// link): started, it needs nothing of the root, which is removed right after
// the run.
bool MakeSessionRoot(bool withApplication, std::string* root, std::string* error) {
  char pattern[] = "/tmp/nimbora-package-XXXXXX";
  if (mkdtemp(pattern) == nullptr) {
    *error = "cannot create a temporary directory";
    return false;
  }
  *root = pattern;
  if (!withApplication) return true;
  std::filesystem::path program = *root + "/ResidentFlash/Nimbora/Nimbora.exe";
  std::error_code failure;
  std::filesystem::create_directories(program.parent_path(), failure);
  std::filesystem::create_hard_link("/bin/true", program, failure);
  if (failure) std::filesystem::copy_file("/bin/true", program, failure);
  return true;
}

// fileSystem: the one to run on, or nullptr for the session root's.
bool StartSession(const std::string& root, FileSystem* fileSystem, const char* screensDir,
                  const char* fontFile, std::string* error, const char* fontCache = nullptr) {
  HostOptions options{};  // headless, no font cache
  options.root = root.c_str();
  options.fileSystem = fileSystem;
  options.virtualClock = true;
  options.keys = "space";
  options.screensDir = screensDir;
  options.fontFile = fontFile;
  options.fontCache = fontCache;
  char message[512] = "";
  if (HostStart(&options, message, sizeof message)) return true;
  *error = message;
  return false;
}

std::optional<ScreenBand> BandAt(const Rect& rect) {
  for (ScreenBand band : {ScreenBand::Message, ScreenBand::Prompt, ScreenBand::Footer}) {
    Rect at = BandRect(band);
    if (at.left == rect.left && at.top == rect.top && at.right == rect.right &&
        at.bottom == rect.bottom) {
      return band;
    }
  }
  return std::nullopt;
}

DrawnFont FontOf(const LogicalFont* font) {
  if (IsScreenFont(font, kLargeFont)) return DrawnFont::Large;
  return IsScreenFont(font, kSmallFont) ? DrawnFont::Small : DrawnFont::Default;
}

struct TextRecorder {
  const RunOptions* options;
  std::vector<DrawnText>* texts;
};

void RecordDrawnText(void* context, const DrawnTextReport* drawn) {
  auto* recorder = static_cast<TextRecorder*>(context);
  recorder->texts->push_back(DrawnText{std::u16string(drawn->text, static_cast<size_t>(drawn->length)),
                                       BandAt(drawn->rect), FontOf(drawn->font), drawn->cut});
  const RunOptions& options = *recorder->options;
  if (options.textDrawn != nullptr) options.textDrawn(options.context, recorder->texts->back());
}

Window* OpenMeasuringWindow() {
  WindowClass windowClass{0, DefaultProcessing, 0, 0, nullptr, nullptr,
                          StockObject(kStockBlackBrush), u"NimboraPackageMeasure"};
  if (RegisterWindowClass(&windowClass) == 0) return nullptr;
  WindowParameters parameters{0, u"NimboraPackageMeasure", u"", kWindowStyleVisible, 0, 0, 0, 0,
                              nullptr};
  return CreateWindowFrom(&parameters);
}

int WidthOf(Surface* surface, const std::u16string& text) {
  Rect rect = kMessageBand;
  DrawTextInRect(surface, text.c_str(), -1, &rect, kAlignCenter | kCalculateRect);
  return rect.right - rect.left;
}

}  // namespace

bool OpenHostTree(const std::string& path, HostTree* tree, std::string* error) {
  char absolute[PATH_MAX];
  struct stat status {};
  if (realpath(path.c_str(), absolute) != nullptr && stat(absolute, &status) == 0 &&
      S_ISDIR(status.st_mode)) {
    CloseHostFileSystem(tree->state);
    tree->state = OpenHostFileSystem(&tree->fileSystem, absolute);
  }
  if (tree->state != nullptr) {
    return true;
  }
  *error = path + " is not a directory";
  return false;
}

const char16_t* PackageDirectoryOf(PackagePlace place) {
  return place == PackagePlace::Card ? kCardPackageDirectory : kFlashPackageDirectory;
}

bool OpenSimulatedDevice(const DeviceSetup& setup, SimulatedDevice* device, std::string* error) {
  if (setup.deviceRoot != nullptr && !OpenHostTree(setup.deviceRoot, &device->device, error)) return false;
  if (!OpenHostTree(setup.packageDir, &device->package, error)) return false;
  if (setup.applicationDir != nullptr &&
      !OpenHostTree(setup.applicationDir, &device->application, error)) {
    return false;
  }
  InitOverlayFileSystem(&device->overlay,
                        setup.deviceRoot != nullptr ? &device->device.fileSystem : nullptr);
  if (setup.applicationDir != nullptr) {
    MountLower(&device->overlay, kApplicationDirectory, &device->application.fileSystem, u"\\");
  }
  MountLower(&device->overlay, PackageDirectoryOf(setup.place), &device->package.fileSystem, u"\\");
  return true;
}

void CloseSimulatedDevice(SimulatedDevice* device) { FreeOverlayFileSystem(&device->overlay); }

bool RunUpdaterOn(SimulatedDevice* device, const RunOptions& options, RunRecord* record,
                  std::string* error) {
  std::string root;
  if (!MakeSessionRoot(!options.applicationFails, &root, error)) return false;
  FileSystem* fileSystem = options.fileSystem != nullptr ? options.fileSystem : &device->overlay.fileSystem;
  bool started =
      StartSession(root, fileSystem, options.screensDir, options.fontFile, error, options.fontCache);
  if (started) {
    if (options.language != nullptr) {
      WriteProfileString(u"Option", u"Langue", options.language, kInstalledStatePath);
    }
    ChooseLanguage(&record->language);
    device->overlay.changes.clear();
    TextRecorder recorder{&options, &record->texts};
    DrawingHook hook{RecordDrawnText, &recorder};
    SetDrawingHook(&hook);
    record->exitStatus = ProgramEntry(nullptr, u"", kShowNormal);
    SetDrawingHook(nullptr);
    record->font = FontOfScreens();
    HostFinish(record->exitStatus);
    record->changes = device->overlay.changes;
  }
  std::error_code failure;
  std::filesystem::remove_all(root, failure);
  return started;
}

bool MeasureTexts(const std::vector<std::u16string>& texts, const char* fontFile,
                  std::vector<TextWidths>* widths, ScreenFont* font, std::string* error) {
  std::string root;
  if (!MakeSessionRoot(false, &root, error)) return false;
  bool started = StartSession(root, nullptr, nullptr, fontFile, error);
  Window* window = started ? OpenMeasuringWindow() : nullptr;
  if (window != nullptr) {
    *font = FontOfScreens();
    ScreenResources screen;
    SetUpScreen(window, InitialFont::Large, &screen);
    for (const std::u16string& text : texts) {
      int large = WidthOf(screen.surface, text);
      DrawObject* kept = SelectIntoSurface(screen.surface, screen.smallFont);
      int small = WidthOf(screen.surface, text);
      SelectIntoSurface(screen.surface, screen.keptFont);
      widths->push_back(TextWidths{large, small, WidthOf(screen.surface, text)});
      SelectIntoSurface(screen.surface, kept);
    }
    TearDownScreen(&screen);
  } else if (started) {
    *error = "cannot open a window to measure texts";
  }
  if (started) HostFinish(0);
  std::error_code failure;
  std::filesystem::remove_all(root, failure);
  return window != nullptr;
}

ScreenFont FontOfScreens() {
  HostFontUse use;
  if (!HostFontUsed(Utf8(kScreenFaceName).c_str(), &use)) return ScreenFont{"", "", true};
  return ScreenFont{use.family, use.file, use.substitute};
}

bool IsCut(const TextWidths& widths, const ScreenText& screenText) {
  Rect rect = BandRect(screenText.band);
  int band = rect.right - rect.left;
  if (widths.large <= band) return false;
  return screenText.font != TextFont::Fitted || widths.small > band;
}

std::vector<std::u16string> ReadProfileLines(FileSystem* fileSystem, const char16_t* path) {
  std::vector<std::u16string> lines;
  std::string bytes;
  if (!ReadWholeFile(fileSystem, path, &bytes)) return lines;
  char16_t line[kProfileLineCapacity];
  ProfileLines reader;
  StartMemoryLines(&reader, reinterpret_cast<unsigned char*>(bytes.data()),
                   static_cast<int>(bytes.size()));
  while (ReadProfileLine(&reader, line)) lines.push_back(line);
  return lines;
}

std::vector<std::u16string> ProfileSections(FileSystem* fileSystem, const char16_t* path) {
  std::vector<std::u16string> sections;
  for (std::u16string line : ReadProfileLines(fileSystem, path)) {
    if (!IsHeader(line.c_str())) continue;
    std::u16string name = line.substr(1, line.find(u']') - 1);
    bool known = false;
    for (const std::u16string& section : sections) known = known || IsHeaderOf(line.c_str(), section.c_str());
    if (!known && IsHeaderOf(line.c_str(), name.c_str())) sections.push_back(name);
  }
  return sections;
}

std::vector<std::u16string> ListTree(FileSystem* fileSystem, const std::u16string& directory) {
  std::vector<std::u16string> entries;
  DirectoryEntry entry;
  Search* search = fileSystem->findFirst(fileSystem, (directory + u"*.*").c_str(), &entry);
  if (search == nullptr) return entries;
  std::vector<std::u16string> names;
  std::vector<bool> directories;
  do {
    std::u16string name = entry.name;
    if (name == u"." || name == u"..") continue;
    names.push_back(name);
    directories.push_back((entry.attributes & kAttributeDirectory) != 0);
  } while (fileSystem->findNext(fileSystem, search, &entry));
  fileSystem->findClose(fileSystem, search);
  for (size_t i = 0; i < names.size(); ++i) {
    if (!directories[i]) {
      entries.push_back(names[i]);
      continue;
    }
    entries.push_back(names[i] + u"\\");
    for (const std::u16string& inner : ListTree(fileSystem, directory + names[i] + u"\\")) {
      entries.push_back(names[i] + u"\\" + inner);
    }
  }
  return entries;
}

bool ReadWholeFile(FileSystem* fileSystem, const std::u16string& path, std::string* bytes) {
  Stream* stream = fileSystem->open(fileSystem, path.c_str(), u"r");
  if (stream == nullptr) return false;
  char buffer[1 << 14];
  size_t got;
  bytes->clear();
  while ((got = fileSystem->read(fileSystem, stream, buffer, sizeof buffer)) != 0) {
    bytes->append(buffer, got);
  }
  fileSystem->close(fileSystem, stream);
  return true;
}

std::string Utf8(const std::u16string& text) {
  std::vector<char> out(text.size() * kUtf8MaxBytes + 1);
  Utf8FromUtf16(text.c_str(), static_cast<int>(text.size()), out.data(), out.size(), 0xFFFD);
  return out.data();
}

std::u16string Wide(const std::string& text) {
  std::vector<char16_t> out(text.size() + 1);
  Utf16FromUtf8(text.c_str(), out.data(), static_cast<int>(out.size()));
  return out.data();
}

std::string Json(const std::u16string& text) { return nlohmann::json(Utf8(text)).dump(); }

bool Same(const std::u16string& a, const std::u16string& b) { return WideCompareNoCase(a.c_str(), b.c_str()) == 0; }

std::string VersionText(const VersionNumber& version) {
  char16_t text[kVersionTextCapacity];
  FormatVersion(&version, text, kVersionTextCapacity);
  return Utf8(text);
}

std::string TimeText(const UpdateTime& time) {
  char16_t text[kTimeTextCapacity];
  FormatUpdateTime(&time, text, kTimeTextCapacity);
  return Utf8(text);
}

}  // namespace nimbora
