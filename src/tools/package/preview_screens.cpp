// The runs behind preview. One real run applies the package and tells the
// outcome and the Language.ini the panel ends with. Then, per language,
// runs that only draw: two over a fresh device through stand-in copies (one
// whose copies succeed, one whose copies fail), applying a stand-in for the
// package's description, for the "Update" screen and both outcomes, and one
// over the updated device whose application cannot
// be started, for the launch screen and the "Open" text. So the package is
// copied once, whatever the number of languages.
#include "preview_screens.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>

#include "base/wide_string.h"
#include "control/package_selection.h"
#include "display/status_screen.h"
#include "profile/profile_reader.h"
#include "platform/host/host_platform.h"
#include "stand_in_copies.h"
#include "stand_in_description.h"

namespace nimbora {

namespace {

namespace fs = std::filesystem;

// Per language, the keys its section of the updated Language.ini holds.
using KeysAfter = std::map<std::u16string, std::set<std::u16string>>;

struct Observed {
  int screensBefore;  // the text shows first on the screen written after these
  ShownText text;
};

struct Watch {
  const KeysAfter* keysAfter;  // nullptr during the real run
  std::vector<Observed> observed;
};

bool CanOpen(const char16_t* path) {
  Stream* stream = OpenStream(path, u"r");
  if (stream == nullptr) return false;
  CloseStream(stream);
  return true;
}

// Whether the lookup the screen makes finds the language's own text.
bool HasOwnText(const Language& language, const ScreenText& entry) {
  constexpr char16_t kNone[] = u"\x01\x02";
  char16_t text[kScreenTextCapacity];
  ReadProfileString(language.name, entry.key, kNone, text, entry.capacity, language.textsPath);
  return std::u16string(text) != kNone;
}

bool HasSection(const Language& language) {
  for (const std::u16string& section : ProfileSections(CurrentFileSystem(), language.textsPath)) {
    if (WideCompareNoCase(section.c_str(), language.name) == 0) return true;
  }
  return false;
}

void ExplainDefault(const Language& language, const KeysAfter* keysAfter, ShownText* shown) {
  std::string key = Utf8(shown->entry->key);
  std::string name = Utf8(language.name);
  if (keysAfter != nullptr) {
    auto found = keysAfter->find(language.name);
    if (found != keysAfter->end() && found->second.count(shown->entry->key) != 0) {
      shown->defaultCode = "language-file-not-yet-copied";
      shown->defaultWhy = "the package's Language.ini, which has [" + name + "] " + key +
                          ", is not in place yet when this text is drawn";
      return;
    }
  }
  if (!CanOpen(language.textsPath)) {
    shown->defaultCode = "no-language-file";
    shown->defaultWhy = "there is no Language.ini when this text is drawn";
  } else if (!HasSection(language)) {
    shown->defaultCode = "no-section";
    shown->defaultWhy = "Language.ini has no section [" + name + "]";
  } else {
    shown->defaultCode = "no-key";
    shown->defaultWhy = "section [" + name + "] of Language.ini has no key " + key;
  }
}

// The table's entry whose text, looked up as the screen does, was drawn.
// The version footer is the label followed by a blank and the version.
const ScreenText* EntryOf(const DrawnText& drawn, const Language& language) {
  for (const ScreenText* entry : kScreenTexts) {
    if (drawn.band != entry->band) continue;
    char16_t text[kScreenTextCapacity];
    ReadScreenText(&language, *entry, text, kScreenTextCapacity);
    std::u16string own = text;
    bool drawnIt = entry->font == TextFont::Default ? drawn.text.rfind(own + u" ", 0) == 0
                                                    : drawn.text == own;
    if (drawnIt) return entry;
  }
  return nullptr;
}

void Observe(void* context, const DrawnText& drawn) {
  auto* watch = static_cast<Watch*>(context);
  Language language;
  ChooseLanguage(&language);
  ShownText shown{drawn, EntryOf(drawn, language), language.name, "", "", {}};
  if (shown.entry != nullptr && !HasOwnText(language, *shown.entry)) {
    ExplainDefault(language, watch->keysAfter, &shown);
  }
  watch->observed.push_back(Observed{HostScreensWritten(), shown});
}

std::optional<ScreenKind> KindOfEntry(const ScreenText* entry) {
  if (entry == &kUpdateText) return ScreenKind::Update;
  if (entry == &kSuccessText) return ScreenKind::Success;
  if (entry == &kErrorText) return ScreenKind::Error;
  if (entry == &kStartText) return ScreenKind::Launch;
  if (entry == &kOpenText) return ScreenKind::OpenFailed;
  return std::nullopt;
}

// A screen is what the texts drawn since the screen before made of it.
std::optional<ScreenKind> KindOf(const std::vector<ShownText>& texts) {
  for (const ShownText& text : texts) {
    if (std::optional<ScreenKind> kind = KindOfEntry(text.entry)) return kind;
  }
  return std::nullopt;
}

struct StageScreen {
  ScreenKind kind;
  std::string png;
  std::vector<ShownText> texts;
};

struct Stage {
  std::u16string language;
  std::string workDir;
  const char* fontFile;
  const KeysAfter* keysAfter;
  std::string fontCache;  // kept for the runs of one preview only
  std::optional<std::string> description;  // the stand-in for update.ini, if any
};

// The host's name for the screen it wrote as number (1: 001.png).
std::string ScreenPng(const std::string& directory, int number) {
  char name[16];
  snprintf(name, sizeof name, "/%03d.png", number);
  return directory + name;
}

// One run; its screens of the wanted kinds join *screens.
bool RunStage(const Stage& stage, SimulatedDevice* device, FileSystem* layer, bool applicationFails,
              std::set<ScreenKind> wanted, std::vector<StageScreen>* screens, std::string* error) {
  std::error_code failure;
  fs::remove_all(stage.workDir, failure);
  fs::create_directories(stage.workDir, failure);
  Watch watch{stage.keysAfter, {}};
  RunOptions options{stage.workDir.c_str(), stage.fontFile, stage.language.c_str()};
  options.fileSystem = layer;
  options.applicationFails = applicationFails;
  options.textDrawn = Observe;
  options.context = &watch;
  options.fontCache = stage.fontCache.c_str();
  RunRecord record;
  if (!RunUpdaterOn(device, options, &record, error)) return false;
  for (int screen = 1; fs::exists(ScreenPng(stage.workDir, screen)); ++screen) {
    std::vector<ShownText> texts;
    for (const Observed& observed : watch.observed) {
      if (observed.screensBefore == screen - 1) texts.push_back(observed.text);
    }
    std::optional<ScreenKind> kind = KindOf(texts);
    if (kind && wanted.erase(*kind) != 0) {
      screens->push_back(StageScreen{*kind, ScreenPng(stage.workDir, screen), texts});
    }
  }
  return true;
}

// A run over a fresh device whose copies are stand-ins, and whose package
// description too when there is a stand-in for it.
bool RunStandInStage(const PreviewArguments& arguments, const Stage& stage, bool copiesFail,
                     std::set<ScreenKind> wanted, std::vector<StageScreen>* screens, std::string* error) {
  SimulatedDevice device;
  if (!OpenSimulatedDevice(arguments.device, &device, error)) return false;
  const char16_t* package = PackageDirectoryOf(arguments.device.place);
  if (stage.description && !PlaceStandInDescription(&device, package, *stage.description)) {
    *error = "cannot place the stand-in description";
    CloseSimulatedDevice(&device);
    return false;
  }
  StandInCopies layer;
  InitStandInCopies(&layer, &device.overlay, copiesFail, package);
  bool ran = RunStage(stage, &device, &layer.fileSystem, false, wanted, screens, error);
  CloseSimulatedDevice(&device);
  return ran;
}

std::string SafeName(const std::u16string& language) {
  std::string name = Utf8(language);
  std::replace(name.begin(), name.end(), '/', '_');
  return name.empty() || name == "." || name == ".." || name[0] == '.' ? "_" + name : name;
}

std::string Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The screens of the kinds in order, each once, and none whose pixels an
// earlier one already shows (the PNG of the same pixels is the same file).
void KeepScreens(const PreviewArguments& arguments, const Preview& preview,
                 const std::vector<StageScreen>& drawn, LanguagePreview* language) {
  std::map<std::string, std::string> seen;  // PNG bytes -> file
  for (ScreenKind kind : kScreenKinds) {
    auto found = std::find_if(drawn.begin(), drawn.end(),
                              [kind](const StageScreen& screen) { return screen.kind == kind; });
    if (found == drawn.end()) continue;
    bool other = (kind == ScreenKind::Success || kind == ScreenKind::Error) && preview.outcome != kind;
    std::string file = language->directory + "/" + FileNameOf(kind, other);
    auto [same, fresh] = seen.emplace(Bytes(found->png), file);
    if (!fresh) {
      language->notes.push_back(file + " is left out: it shows the same pixels as " + same->second);
      continue;
    }
    std::error_code failure;
    fs::rename(found->png, std::string(arguments.outDir) + "/" + file, failure);
    language->screens.push_back(PreviewScreen{kind, other, file, found->texts});
  }
}

bool PreviewLanguage(const PreviewArguments& arguments, SimulatedDevice* updated, const KeysAfter& keysAfter,
                     const std::optional<std::string>& description, const Preview& preview,
                     LanguagePreview* language, std::string* error) {
  std::string work = std::string(arguments.outDir) + "/.preview-runs";
  Stage stage{language->language, work + "/launch", arguments.fontFile, &keysAfter,
              std::string(arguments.outDir) + "/.preview-font-matches", description};
  std::vector<StageScreen> drawn;
  bool ran = RunStage(stage, updated, nullptr, true, {ScreenKind::Launch, ScreenKind::OpenFailed}, &drawn, error);
  if (ran && preview.applied) {
    stage.workDir = work + "/copied";
    ran = RunStandInStage(arguments, stage, false, {ScreenKind::Update, ScreenKind::Success}, &drawn, error);
    stage.workDir = work + "/failed";
    ran = ran && RunStandInStage(arguments, stage, true, {ScreenKind::Error}, &drawn, error);
  }
  if (ran) KeepScreens(arguments, preview, drawn, language);
  bool hasOther = std::any_of(language->screens.begin(), language->screens.end(),
                              [](const PreviewScreen& screen) { return screen.otherOutcome; });
  if (ran && preview.applied && !hasOther) {
    language->notes.push_back(
        "the other outcome is not drawn: every copy the package makes is of a file the screens read");
  }
  std::error_code failure;
  fs::remove_all(work, failure);
  return ran;
}

std::string NotAppliedReason(const PackageSelection& selection, PackagePlace place) {
  if (selection.source == PackageSource::None) {
    return "the panel applies no package: this one is not newer than the installed version, or its "
           "update.ini is not valid (nimbora-package check tells which)";
  }
  return std::string("the panel applies the ") + (place == PackagePlace::Card ? "flash" : "card") +
         " package instead";
}

bool IsThisPackage(const PackageSelection& selection, PackagePlace place) {
  return selection.source == (place == PackagePlace::Card ? PackageSource::Card : PackageSource::Flash);
}

// What the updated device's Language.ini holds; call with its file system installed.
std::vector<std::u16string> LanguagesAfter(const RunRecord& real, KeysAfter* keysAfter) {
  Language language;
  ChooseLanguage(&language);
  std::vector<std::u16string> languages = ProfileSections(CurrentFileSystem(), language.textsPath);
  // Without a Language.ini the run shows the built-in texts of its language.
  if (languages.empty()) languages.push_back(real.language.name);
  for (const std::u16string& name : languages) {
    WideCopyBounded(language.name, name.c_str(), kLanguageCapacity);
    for (const ScreenText* entry : kScreenTexts) {
      if (HasOwnText(language, *entry)) (*keysAfter)[name].insert(entry->key);
    }
  }
  return languages;
}

void Measure(const PreviewArguments& arguments, Preview* preview, std::string* error) {
  std::vector<std::u16string> texts;
  for (const LanguagePreview& language : preview->languages) {
    for (const PreviewScreen& screen : language.screens) {
      for (const ShownText& text : screen.texts) texts.push_back(text.drawn.text);
    }
  }
  std::sort(texts.begin(), texts.end());
  texts.erase(std::unique(texts.begin(), texts.end()), texts.end());
  std::vector<TextWidths> widths;
  ScreenFont font;
  if (!MeasureTexts(texts, arguments.fontFile, &widths, &font, error)) return;
  for (LanguagePreview& language : preview->languages) {
    for (PreviewScreen& screen : language.screens) {
      for (ShownText& text : screen.texts) {
        auto at = std::lower_bound(texts.begin(), texts.end(), text.drawn.text) - texts.begin();
        text.widths = widths[static_cast<size_t>(at)];
      }
    }
  }
}

}  // namespace

const char* KindName(ScreenKind kind) {
  switch (kind) {
    case ScreenKind::Update: return "update";
    case ScreenKind::Success: return "success";
    case ScreenKind::Error: return "error";
    case ScreenKind::Launch: return "launch";
    case ScreenKind::OpenFailed: return "open-failed";
  }
  return "";
}

std::string FileNameOf(ScreenKind kind, bool otherOutcome) {
  static const char* const kNumbers[] = {"1-", "2-", "2-", "3-", "4-"};
  return kNumbers[static_cast<int>(kind)] + std::string(KindName(kind)) +
         (otherOutcome ? "-other-outcome" : "") + ".png";
}

int BandWidthOf(const std::optional<ScreenBand>& band) {
  if (!band) return 0;
  Rect rect = BandRect(*band);
  return rect.right - rect.left;
}

int DrawnWidthOf(const ShownText& text) {
  if (text.drawn.font == DrawnFont::Large) return text.widths.large;
  return text.drawn.font == DrawnFont::Small ? text.widths.small : text.widths.standard;
}

bool PreviewScreens(const PreviewArguments& arguments, Preview* preview, std::string* error) {
  SimulatedDevice updated;
  if (!OpenSimulatedDevice(arguments.device, &updated, error)) return false;
  FileSystem* previous = CurrentFileSystem();
  UseFileSystem(&updated.overlay.fileSystem);
  PackageSelection selection;
  SelectPackage(&selection);
  UseFileSystem(previous);
  const std::u16string package = PackageDirectoryOf(arguments.device.place);
  preview->applied = IsThisPackage(selection, arguments.device.place);
  if (!preview->applied) preview->notApplied = NotAppliedReason(selection, arguments.device.place);

  Watch watch{nullptr, {}};
  RunOptions options{nullptr, arguments.fontFile, nullptr};
  options.textDrawn = Observe;
  options.context = &watch;
  RunRecord real;
  bool ran = RunUpdaterOn(&updated, options, &real, error);
  std::optional<std::string> description;
  // Read on the device as it was before the run (a flash package is gone after it).
  SimulatedDevice before;
  ran = ran && OpenSimulatedDevice(arguments.device, &before, error);
  if (ran) {
    UseFileSystem(&before.overlay.fileSystem);
    description = StandInDescription(real, package);
    UseFileSystem(previous);
    CloseSimulatedDevice(&before);
  }
  for (const Observed& observed : watch.observed) {
    std::optional<ScreenKind> kind = KindOfEntry(observed.text.entry);
    if (preview->applied && (kind == ScreenKind::Success || kind == ScreenKind::Error)) preview->outcome = kind;
  }
  preview->font = real.font;
  KeysAfter keysAfter;
  std::vector<std::u16string> languages;
  if (ran) {
    UseFileSystem(&updated.overlay.fileSystem);
    languages = LanguagesAfter(real, &keysAfter);
    UseFileSystem(previous);
  }
  for (const std::u16string& name : languages) {
    LanguagePreview language{name, SafeName(name), {}, {}};
    std::error_code failure;
    fs::remove_all(std::string(arguments.outDir) + "/" + language.directory, failure);
    fs::create_directories(std::string(arguments.outDir) + "/" + language.directory, failure);
    ran = ran && PreviewLanguage(arguments, &updated, keysAfter, description, *preview, &language, error);
    preview->languages.push_back(language);
  }
  CloseSimulatedDevice(&updated);
  std::error_code failure;
  fs::remove(std::string(arguments.outDir) + "/.preview-font-matches", failure);
  if (ran) Measure(arguments, preview, error);
  return ran && error->empty();
}

}  // namespace nimbora
