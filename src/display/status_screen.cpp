#include "display/status_screen.h"

#include "platform/device_locations.h"
#include "base/wide_string.h"
#include "profile/profile_reader.h"

namespace nimbora {

namespace {

constexpr int32_t kNormalWeight = 400;

DrawObject* CreateScreenFont(LogicalFont* record, FontSize size) {
  record->height = size.height;
  record->width = size.width;
  return CreateFontFrom(record);
}

}  // namespace

void ChooseLanguage(Language* language) {
  ReadProfileString(u"Option", u"Langue", u"English", language->name, kLanguageCapacity,
                    kInstalledStatePath);
  WideCopyBounded(language->textsPath, kApplicationDirectory, kPathCapacity);
  WideAppendBounded(language->textsPath, u"Language.ini", kPathCapacity);
}

void SetUpScreen(Window* window, bool selectLargeFont, ScreenResources* screen) {
  screen->window = window;
  screen->surface = GetWindowSurface(window);
  screen->keptFont = nullptr;
  LogicalFont record{};
  WideCopyBounded(record.faceName, kScreenFaceName, kFaceNameCapacity);
  record.weight = kNormalWeight;
  screen->largeFont = CreateScreenFont(&record, kLargeFont);
  if (selectLargeFont) SelectLargeFont(screen);
  screen->smallFont = CreateScreenFont(&record, kSmallFont);
  screen->blankingBrush = CreateSolidBrushOf(0);
  SetSurfaceTextColour(screen->surface, kTextColour);
  SetSurfaceBackgroundMode(screen->surface, kBackgroundTransparent);
}

void SelectLargeFont(ScreenResources* screen) {
  screen->keptFont = SelectIntoSurface(screen->surface, screen->largeFont);
}

void ReleaseScreen(ScreenResources* screen) {
  if (screen->keptFont != nullptr) SelectIntoSurface(screen->surface, screen->keptFont);
  DeleteDrawObject(screen->smallFont);
  DeleteDrawObject(screen->largeFont);
  DeleteDrawObject(screen->blankingBrush);
  ReleaseWindowSurface(screen->window, screen->surface);
}

void BlankBand(const ScreenResources* screen, const Rect& band) {
  FillWithBrush(screen->surface, &band, screen->blankingBrush);
}

int ReadScreenText(const Language* language, const char16_t* key, const char16_t* defaultText,
                   char16_t* text, int capacity) {
  return ReadProfileString(language->name, key, defaultText, text, capacity, language->textsPath);
}

void DrawFittedText(Surface* surface, const char16_t* text, const Rect& band, uint32_t format,
                    DrawObject* fallbackFont) {
  Rect measured = band;
  DrawTextInRect(surface, text, -1, &measured, format | kCalculateRect);
  Rect drawn = band;
  if (measured.right > band.right) {
    DrawObject* kept = SelectIntoSurface(surface, fallbackFont);
    DrawTextInRect(surface, text, -1, &drawn, format);
    SelectIntoSurface(surface, kept);
  } else {
    DrawTextInRect(surface, text, -1, &drawn, format);
  }
}

}  // namespace nimbora
