#include "display/application_launch.h"

#include "platform/device_locations.h"
#include "display/status_screen.h"
#include "platform/clock.h"
#include "platform/shell.h"
#include "base/wide_string.h"
#include "profile/profile_reader.h"
#include "version/version_values.h"

namespace nimbora {

namespace {

constexpr int kSettingCapacity = 20;
constexpr int kTitleCapacity = 25;
constexpr int kFooterCapacity = 50;
constexpr uint32_t kScreenHoldMilliseconds = 10000;

const char16_t* FrequencySuffix(const char16_t* frequency) {
  if (WideCompareNoCase(frequency, u"915M") == 0) return u"    915MHz";
  if (WideCompareNoCase(frequency, u"868M") == 0) return u"    868MHz";
  return u"    433MHz";
}

void DrawStationFooter(Surface* surface) {
  char16_t frequency[kSettingCapacity];
  ReadProfileString(u"Option", u"Frequency", u"433M", frequency, kSettingCapacity,
                    kInstalledStatePath);
  char16_t footer[kFooterCapacity];
  ReadProfileString(u"Main", u"Title", u"KT4200", footer, kTitleCapacity, kInstalledStatePath);
  WideAppendBounded(footer, FrequencySuffix(frequency), kFooterCapacity);
  Rect band = kFooterBand;
  DrawTextInRect(surface, footer, -1, &band, kAlignLeft);
}

// The label is cut, not the version, when both don't fit the footer text.
void DrawVersionFooter(Surface* surface, const Language* language, const VersionNumber& installed) {
  char16_t number[kFooterCapacity];
  FormatVersion(&installed, number, kFooterCapacity);
  char16_t label[kFooterCapacity];
  ReadScreenText(language, u"Version", u"Version", label, kFooterCapacity);
  int labelLimit = kFooterCapacity - 2 - WideLength(number);  // leaves the blank and the null
  if (WideLength(label) > labelLimit) label[labelLimit] = 0;
  char16_t footer[kFooterCapacity];
  WideFormat(footer, kFooterCapacity, u"%s %s", label, number);
  Rect band = kFooterBand;
  DrawTextInRect(surface, footer, -1, &band, kAlignRight);
}

bool StartApplication() {
  ExecuteRequest request{};
  request.size = kExecuteRequestSize;
  request.mask = kExecuteNoErrorDialog;
  request.file = kApplicationPath;
  request.parameters = u"";
  request.show = kShowNormal;
  return StartProgram(&request) != 0;
}

void DrawCentred(const ScreenResources& screen, const Language& language, const char16_t* key,
                 const char16_t* defaultText, bool fitted) {
  char16_t text[kScreenTextCapacity];
  ReadScreenText(&language, key, defaultText, text, kScreenTextCapacity);
  if (fitted) {
    DrawFittedText(screen.surface, text, kMessageBand, kAlignCenter, screen.smallFont);
  } else {
    Rect band = kMessageBand;
    DrawTextInRect(screen.surface, text, -1, &band, kAlignCenter);
  }
}

}  // namespace

void LaunchApplication(Window* mainWindow) {
  ScreenResources screen;
  SetUpScreen(mainWindow, false, &screen);
  BlankBand(&screen, kPromptBand);
  BlankBand(&screen, kMessageBand);
  Language language;
  ChooseLanguage(&language);

  char16_t versionText[kSettingCapacity];
  ReadProfileString(u"Main", u"Version", u"1.0.0", versionText, kSettingCapacity,
                    kInstalledStatePath);
  VersionNumber installed{};
  ParseVersion(versionText, &installed);
  DrawStationFooter(screen.surface);
  DrawVersionFooter(screen.surface, &language, installed);

  SelectLargeFont(&screen);
  DrawCentred(screen, language, u"Start", u"Starting ...", false);
  if (!StartApplication()) {
    BlankBand(&screen, kMessageBand);
    DrawCentred(screen, language, u"Open", u"Can't open the application software!", true);
  }
  SleepFor(kScreenHoldMilliseconds);
  ReleaseScreen(&screen);
  PostToWindow(mainWindow, kMessageClose, 0, 0);
}

}  // namespace nimbora
