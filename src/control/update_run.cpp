#include "control/update_run.h"

#include "base/wide_string.h"
#include "platform/device_locations.h"
#include "control/package_selection.h"
#include "display/application_launch.h"
#include "display/status_screen.h"
#include "package/package_checksums.h"
#include "package/package_instructions.h"
#include "package/tree_operations.h"
#include "platform/file_system.h"
#include "profile/profile_writer.h"

namespace nimbora {

namespace {

constexpr int kVersionTextCapacity = 20;
constexpr int kTimeTextCapacity = 256;

struct RunScreen {
  Language language;
  ScreenResources resources;
};

// A text in its band: a message blanks the band first, the prompt does not.
void ShowMessage(const RunScreen& screen, const ScreenText& screenText) {
  char16_t text[kScreenTextCapacity];
  ReadScreenText(&screen.language, screenText, text, kScreenTextCapacity);
  Rect band = BandRect(screenText.band);
  if (screenText.band == ScreenBand::Message) BlankBand(&screen.resources, band);
  DrawFittedText(screen.resources.surface, text, band, kAlignCenter, screen.resources.smallFont);
}

void ShowPrompt(const RunScreen& screen) { ShowMessage(screen, kPressText); }

bool CanOpen(const char16_t* path) {
  Stream* stream = OpenStream(path, u"r");
  if (stream == nullptr) return false;
  CloseStream(stream);
  return true;
}

// Applies the package; *recordable tells whether its version may be recorded.
// A package that did not arrive whole changes nothing. A package whose
// description is gone lost its medium during the run (a card pulled), and
// data whose flush failed may not be on the medium. Either way the run
// failed, and recorded, the package would never be applied again.
int ApplySelected(const RunScreen& screen, const PackageSelection& selection, bool* recordable) {
  ShowMessage(screen, kUpdateText);
  *recordable = VerifyPackageChecksums(selection.packageDirectory, nullptr) != ChecksumVerdict::kFails;
  if (!*recordable) return 0;
  int result = ApplyPackage(selection.packageDirectory, kApplicationDirectory,
                            selection.descriptionPath);
  bool present = CanOpen(selection.descriptionPath);
  // Everything copied is made durable before the new version says it is there.
  *recordable = present && FlushVolume(kApplicationDirectory) != 0;
  return *recordable ? result : 0;
}

// A flash package is removed once applied, whatever came of it, but only
// after its version is recorded; its checksum list and description first.
// While the description is there, a removal that a power cut interrupts is
// finished at the next start; once it is gone, no package is left that a
// later start would apply, nor a list to be held against a later package
// copied over what remains.
void RemoveFlashPackage(const PackageSelection& selection) {
  char16_t list[kPathCapacity];
  WideFormat(list, kPathCapacity, u"%s%s", kFlashPackageDirectory, kChecksumListName);
  SetAttributesAt(list, kAttributeNormal);
  DeleteFileAt(list);
  SetAttributesAt(selection.descriptionPath, kAttributeNormal);
  DeleteFileAt(selection.descriptionPath);
  DeleteTree(kFlashPackageDirectory, nullptr);
}

// A flash package that records the installed version (and time, when it has
// one) was applied by a run that lost its power before removing it: its
// removal is finished. Such a package would never be applied again, so
// nothing is lost by it.
bool IsAppliedFlashPackage(const PackageSelection& selection) {
  const VersionNumber none{};
  const UpdateTime& time = selection.packageTime;
  bool sameTime = time.year == 0 || (!IsLaterTime(&time, &selection.installedTime) &&
                                     !IsLaterTime(&selection.installedTime, &time));
  return selection.source == PackageSource::None &&
         CompareVersion(&selection.packageVersion, &none) != 0 &&
         CompareVersion(&selection.packageVersion, &selection.installedVersion) == 0 && sameTime;
}

// Recorded even after a failed copy, so the same package is not applied
// again on the next start. The time belongs to the version: without it, it
// is not recorded either. 1 when the record is complete.
int RecordPackage(const PackageSelection& selection) {
  char16_t text[kTimeTextCapacity];
  FormatVersion(&selection.packageVersion, text, kVersionTextCapacity);
  if (!WriteProfileString(u"Main", u"Version", text, kInstalledStatePath)) return 0;
  if (selection.packageTime.year == 0) return 1;
  FormatUpdateTime(&selection.packageTime, text, kTimeTextCapacity);
  return WriteProfileString(u"Main", u"Update Time", text, kInstalledStatePath);
}

}  // namespace

bool RunUpdate(Window* mainWindow, StartStatus status) {
  // A rewrite of main.ini that a power cut interrupted is finished before
  // anything reads it.
  FinishProfileReplace(kInstalledStatePath);
  RunScreen screen;
  ChooseLanguage(&screen.language);
  SetUpScreen(mainWindow, InitialFont::Large, &screen.resources);

  PackageSelection selection;
  SelectPackage(&selection);
  if (IsAppliedFlashPackage(selection)) RemoveFlashPackage(selection);
  bool applied = selection.source != PackageSource::None;
  bool recordable = false;
  int result = applied ? ApplySelected(screen, selection, &recordable) : 1;

  // With a status word but nothing applied, nothing was installed, so
  // main.ini is left as it is. A flash package whose record failed stays
  // for the next start to apply.
  bool showOutcome = applied || status != StartStatus::None;
  if (showOutcome) {
    bool recorded = recordable && RecordPackage(selection);
    if (recorded && selection.source == PackageSource::Flash) RemoveFlashPackage(selection);
    // Not recorded, the update is not complete: the next start applies it again.
    if (applied && !recorded) result = 0;
    if (result != 0 && status != StartStatus::Failure) {
      ShowMessage(screen, kSuccessText);
    } else {
      ShowMessage(screen, kErrorText);
    }
    ShowPrompt(screen);
  }
  TearDownScreen(&screen.resources);

  if (!showOutcome) LaunchApplication(mainWindow);
  return showOutcome;
}

}  // namespace nimbora
