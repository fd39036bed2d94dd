#include "control/update_run.h"

#include "platform/device_locations.h"
#include "control/package_selection.h"
#include "display/application_launch.h"
#include "control/main_window.h"
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

int ApplySelected(const RunScreen& screen, const PackageSelection& selection, bool* recordable) {
  ShowMessage(screen, kUpdateText);
  // A package that did not arrive whole changes nothing and is not recorded,
  // so that a whole copy of it is applied on a later start.
  *recordable = VerifyPackageChecksums(selection.packageDirectory, nullptr) != ChecksumVerdict::kFails;
  if (!*recordable) return 0;
  int result = ApplyPackage(selection.packageDirectory, kApplicationDirectory,
                            selection.descriptionPath);
  // Everything copied is made durable before the new version says it is there.
  FlushVolume(kApplicationDirectory);
  return result;
}

// A flash package is removed once applied, whatever came of it, but only
// after its version is recorded, and its description first: a removal that
// a power cut interrupts leaves no package a later start would apply.
void RemoveFlashPackage(const PackageSelection& selection) {
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

// Recorded even after a failed application, so the same package is not
// applied again on the next start.
void RecordPackage(const PackageSelection& selection) {
  char16_t text[kTimeTextCapacity];
  FormatVersion(&selection.packageVersion, text, kVersionTextCapacity);
  WriteProfileString(u"Main", u"Version", text, kInstalledStatePath);
  if (selection.packageTime.year != 0) {
    FormatUpdateTime(&selection.packageTime, text, kTimeTextCapacity);
    WriteProfileString(u"Main", u"Update Time", text, kInstalledStatePath);
  }
}

}  // namespace

void RunUpdate(Window* mainWindow, StartStatus status) {
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
  // main.ini is left as it is.
  bool showOutcome = applied || status != StartStatus::None;
  if (showOutcome) {
    if (recordable) RecordPackage(selection);
    if (recordable && selection.source == PackageSource::Flash) RemoveFlashPackage(selection);
    if (result != 0 && status != StartStatus::Failure) {
      ShowMessage(screen, kSuccessText);
    } else {
      ShowMessage(screen, kErrorText);
    }
    ShowPrompt(screen);
  }
  TearDownScreen(&screen.resources);

  if (showOutcome) {
    WaitingForKey = true;
  } else {
    LaunchApplication(mainWindow);
  }
}

}  // namespace nimbora
