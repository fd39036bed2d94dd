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
  char16_t footer[kFooterTextCapacity];
  ReadProfileString(u"Main", u"Title", u"KT4200", footer, kTitleCapacity, kInstalledStatePath);
  WideAppendBounded(footer, FrequencySuffix(frequency), kFooterTextCapacity);
  Rect band = kFooterBand;
  DrawTextInRect(surface, footer, -1, &band, kAlignLeft);
}

// The label is cut, not the version, when both don't fit the footer text.
void DrawVersionFooter(Surface* surface, const Language* language, const VersionNumber& installed) {
  char16_t number[kFooterTextCapacity];
  FormatVersion(&installed, number, kFooterTextCapacity);
  char16_t label[kFooterTextCapacity];
  ReadScreenText(language, kVersionLabelText, label, kFooterTextCapacity);
  int labelLimit = kFooterTextCapacity - 2 - WideLength(number);  // leaves the blank and the null
  if (WideLength(label) > labelLimit) label[labelLimit] = 0;
  char16_t footer[kFooterTextCapacity];
  WideFormat(footer, kFooterTextCapacity, u"%s %s", label, number);
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

// In the text's band, by the font its entry names.
void DrawCentred(const ScreenResources& screen, const Language& language,
                 const ScreenText& screenText) {
  char16_t text[kScreenTextCapacity];
  ReadScreenText(&language, screenText, text, kScreenTextCapacity);
  Rect band = BandRect(screenText.band);
  if (screenText.font == TextFont::Fitted) {
    DrawFittedText(screen.surface, text, band, kAlignCenter, screen.smallFont);
  } else {
    DrawTextInRect(screen.surface, text, -1, &band, kAlignCenter);
  }
}

}  // namespace

void LaunchApplication(Window* mainWindow) {
  ScreenResources screen;
  SetUpScreen(mainWindow, InitialFont::Default, &screen);
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
  DrawCentred(screen, language, kStartText);
  if (!StartApplication()) {
    BlankBand(&screen, kMessageBand);
    DrawCentred(screen, language, kOpenText);
  }
  SleepFor(kScreenHoldMilliseconds);
  TearDownScreen(&screen);
  PostToWindow(mainWindow, kMessageClose, 0, 0);
}

}  // namespace nimbora
