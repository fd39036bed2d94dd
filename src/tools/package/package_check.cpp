// nimbora-package check: the whole run simulated over the device tree with
// the package placed virtually, its plan, its outcome and the findings.
#include "package_check.h"

#include <cstdio>
#include <string>
#include <vector>

#include "base/wide_string.h"
#include "control/package_selection.h"
#include "display/status_screen.h"
#include "package/package_format.h"
#include "platform/device_locations.h"
#include "profile/profile_reader.h"
#include "version/version_values.h"
#include "check_context.h"
#include "package_checksum_list.h"
#include "progress_line.h"

namespace nimbora {

void Add(Check* check, Severity severity, const char* code, const std::string& message) {
  Add(&check->package, severity, code, message);
}

void AddAt(Check* check, Severity severity, const char* code, const std::string& message,
           const std::u16string& section, const std::u16string& key, const std::u16string& entry) {
  AddAt(&check->package, severity, code, message, section, key, entry);
}

std::u16string MainValue(const Check& check, const char16_t* key, const char16_t* defaultText) {
  char16_t value[kPathCapacity];
  ReadProfileString(kMainSection, key, defaultText, value, kMainValueCapacity, check.package.path.c_str());
  return value;
}

namespace {

// Why the package is, or is not, the one the run applies.
void ExplainSelection(Check* check) {
  const PackageSelection& s = check->selection;
  std::string installed = VersionText(s.installedVersion);
  std::string package = VersionText(check->packageVersion);
  PackageOrder order =
      OrderOfPackage(&check->packageVersion, &check->packageTime, &s.installedVersion, &s.installedTime);
  bool ours = s.packageDirectory != nullptr && Same(s.packageDirectory, check->package.packageDirectory);
  if (s.packageDirectory != nullptr && !ours) {
    check->reason = "the package already at " + Utf8(s.packageDirectory) + " is selected instead";
    Add(check, Severity::Error, "other-package-first", check->reason);
  } else if (order == PackageOrder::NewerVersion || order == PackageOrder::OlderVersion) {
    check->reason = "package version " + package +
                    (order == PackageOrder::NewerVersion ? " is newer than" : " is older than") +
                    " the installed " + installed;
  } else if (order == PackageOrder::SameVersionNotLater) {
    check->reason = "same version " + package + " and an update time that is not later";
  } else {
    check->reason = "same version " + package + " with a later update time" +
                    (check->applicable ? " and instructions" : " but no Delete or Update instructions");
  }
  if (!check->applicable) Add(check, Severity::Error, "version-not-newer", check->reason + ": never applied");
}

// The outcome is the last message drawn before the prompt.
void ReadOutcome(Check* check) {
  for (const DrawnText& text : check->run.texts) {
    if (text.band == kPressText.band) return;
    if (text.band == kErrorText.band) check->outcome = text.text;
  }
  check->outcome.clear();
}

void CheckOutcome(Check* check) {
  if (check->outcome.empty()) return;
  char16_t failure[kScreenTextCapacity];
  ReadScreenText(&check->run.language, kErrorText, failure, kScreenTextCapacity);
  if (check->outcome == failure) {
    Add(check, Severity::Error, "update-fails", "the panel would show \"" + Utf8(check->outcome) + "\"");
  }
}

void CheckTextFit(Check* check) {
  std::vector<LanguageText> texts = ScreenTextsAfterUpdate(check->device);
  std::vector<std::u16string> strings;
  for (const LanguageText& text : texts) strings.push_back(text.text);
  std::vector<TextWidths> widths;
  ScreenFont font;
  std::string error;
  if (!MeasureTexts(strings, check->arguments->fontFile, &widths, &font, &error)) {
    Add(check, Severity::Note, "text-fit-unknown", "texts were not measured: " + error);
    return;
  }
  for (size_t i = 0; i < texts.size(); ++i) {
    if (!IsCut(widths[i], *texts[i].screenText)) continue;
    Add(check, Severity::Warning, "text-cut",
        Utf8(texts[i].language) + " \"" + Utf8(texts[i].screenText->key) + "\" = \"" + Utf8(texts[i].text) +
            "\" is too wide for its band and is cut (" + std::to_string(widths[i].small) + " pixels)");
  }
  if (font.substitute) {
    Add(check, Severity::Note, "fit-approximate",
        "widths measured with " + (font.family.empty() ? "no font" : font.family + " (" + font.file + ")") +
            " standing in for \"" + Utf8(kScreenFaceName) + "\"; pass --font with the panel's font");
  }
}

}  // namespace

std::vector<LanguageText> ScreenTextsAfterUpdate(FileSystem* device) {
  std::vector<LanguageText> texts;
  Language language;
  ChooseLanguage(&language);
  for (const std::u16string& name : ProfileSections(device, language.textsPath)) {
    for (const ScreenText* screenText : kScreenTexts) {
      if (screenText->font == TextFont::Default) continue;
      char16_t text[kScreenTextCapacity];
      if (ReadProfileString(name.c_str(), screenText->key, u"", text, screenText->capacity,
                            language.textsPath) > 0) {
        texts.push_back(LanguageText{name, screenText, text});
      }
    }
  }
  return texts;
}

namespace {

// The run's copies counted on the progress line, against the package's files.
struct RunProgress {
  int (*copyFile)(FileSystem* self, const char16_t* from, const char16_t* to);
  long long done;
  long long total;
};
RunProgress runProgress;

int CopyWithProgress(FileSystem* self, const char16_t* from, const char16_t* to) {
  ++runProgress.done;
  ShowProgress("simulating the run, copies", runProgress.done, runProgress.total);
  return runProgress.copyFile(self, from, to);
}

void CountCopies(Check* check, FileSystem* fileSystem) {
  runProgress = RunProgress{fileSystem->copyFile, 0, 0};
  for (const std::u16string& file : check->packageFiles) runProgress.total += file.back() != u'\\';
  fileSystem->copyFile = CopyWithProgress;
}

// What update.ini and the package say, on the device as it stands.
void CheckBeforeRun(Check* check) {
  check->packageFiles = ListTree(check->device, check->package.packageDirectory);
  check->settingsBefore = ReadSettings(check->device, kInstalledStatePath);
  CheckDescription(&check->package);
  SelectPackage(&check->selection);
  check->applicable = IsPackageApplicable(check->package.path.c_str(), &check->selection.installedVersion,
                                          &check->selection.installedTime, &check->packageVersion,
                                          &check->packageTime);
  check->applied = check->selection.packageDirectory != nullptr &&
                   Same(check->selection.packageDirectory, check->package.packageDirectory);
  CheckBaseVersion(check);
  ExplainSelection(check);
  for (const ChecksumFinding& finding : CheckChecksumList(check->device, check->package.packageDirectory)) {
    Add(check, SeverityNamed(finding.severity), finding.code, finding.message);
  }
}

// What the run did.
void CheckAfterRun(Check* check) {
  ReadPlan(check);
  ReadOutcome(check);
  CheckOutcome(check);
  CheckCopies(check);
  CheckSettings(check);
  CheckDatabase(check);
  CheckApplicationDeleted(check);
  CheckNeverCopied(check);
  CheckUpdaterListed(check);
  CheckNewLanguageFile(check);
  CheckTextFit(check);
}

}  // namespace

int RunCheck(const CheckArguments& arguments) {
  SimulatedDevice device;
  std::string error;
  if (!OpenSimulatedDevice(arguments.device, &device, &error)) {
    fprintf(stderr, "nimbora-package check: %s\n", error.c_str());
    return kToolUsageStatus;
  }
  UseFileSystem(&device.overlay.fileSystem);
  Check check{};
  check.arguments = &arguments;
  check.device = &device.overlay.fileSystem;
  check.package.fileSystem = check.device;
  check.package.packageDirectory = PackageDirectoryOf(arguments.device.place);
  check.package.hostDirectory = arguments.device.packageDir;
  check.package.placements = {check.package.packageDirectory};
  check.package.device = check.device;
  check.package.path = check.package.packageDirectory + kPackageDescriptionName;
  CheckBeforeRun(&check);
  RunOptions options{nullptr, arguments.fontFile, nullptr};
  CountCopies(&check, &device.overlay.fileSystem);
  bool ran = RunUpdaterOn(&device, options, &check.run, &error);
  EndProgress();
  device.overlay.fileSystem.copyFile = runProgress.copyFile;
  if (ran) {
    CheckAfterRun(&check);
    if (arguments.json) {
      PrintJson(check);
    } else {
      PrintText(check);
    }
  } else {
    fprintf(stderr, "nimbora-package check: %s\n", error.c_str());
  }
  UseFileSystem(nullptr);
  CloseSimulatedDevice(&device);
  if (!ran) return kToolUsageStatus;
  return CountOf(check, Severity::Error) > 0 ? 1 : 0;
}

}  // namespace nimbora
