#include "display/status_screen.h"

#include "platform/device_locations.h"
#include "base/wide_string.h"
#include "profile/profile_reader.h"

namespace nimbora {

namespace {

constexpr int32_t kNormalWeight = 400;

// Every field zero but the face, the weight and the size.
LogicalFont ScreenFontRecord(FontSize size) {
  LogicalFont record{};
  WideCopyBounded(record.faceName, kScreenFaceName, kFaceNameCapacity);
  record.weight = kNormalWeight;
  record.height = size.height;
  record.width = size.width;
  return record;
}

DrawObject* CreateScreenFont(FontSize size) {
  LogicalFont record = ScreenFontRecord(size);
  return CreateFontFrom(&record);
}

}  // namespace

void ChooseLanguage(Language* language) {
  ReadProfileString(u"Option", u"Langue", u"English", language->name, kLanguageCapacity,
                    kInstalledStatePath);
  WideCopyBounded(language->textsPath, kApplicationDirectory, kPathCapacity);
  WideAppendBounded(language->textsPath, u"Language.ini", kPathCapacity);
}

void SetUpScreen(Window* window, InitialFont initialFont, ScreenResources* screen) {
  screen->window = window;
  screen->surface = GetWindowSurface(window);
  screen->keptFont = nullptr;
  screen->largeFont = CreateScreenFont(kLargeFont);
  if (initialFont == InitialFont::Large) SelectLargeFont(screen);
  screen->smallFont = CreateScreenFont(kSmallFont);
  screen->blankingBrush = CreateSolidBrushOf(0);
  SetSurfaceTextColour(screen->surface, kTextColour);
  SetSurfaceBackgroundMode(screen->surface, kBackgroundTransparent);
}

void SelectLargeFont(ScreenResources* screen) {
  screen->keptFont = SelectIntoSurface(screen->surface, screen->largeFont);
}

void TearDownScreen(ScreenResources* screen) {
  if (screen->keptFont != nullptr) SelectIntoSurface(screen->surface, screen->keptFont);
  DeleteDrawObject(screen->smallFont);
  DeleteDrawObject(screen->largeFont);
  DeleteDrawObject(screen->blankingBrush);
  ReleaseWindowSurface(screen->window, screen->surface);
}

void BlankBand(const ScreenResources* screen, const Rect& band) {
  FillWithBrush(screen->surface, &band, screen->blankingBrush);
}

int ReadScreenText(const Language* language, const ScreenText& screenText, char16_t* text,
                   int capacity) {
  int bound = capacity < screenText.capacity ? capacity : screenText.capacity;
  return ReadProfileString(language->name, screenText.key, screenText.defaultText, text, bound,
                           language->textsPath);
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

bool IsScreenFont(const LogicalFont* font, FontSize size) {
  LogicalFont record = ScreenFontRecord(size);
  if (font == nullptr) return false;
  const unsigned char* given = reinterpret_cast<const unsigned char*>(font);
  const unsigned char* made = reinterpret_cast<const unsigned char*>(&record);
  for (size_t i = 0; i < sizeof record; ++i) {
    if (given[i] != made[i]) return false;
  }
  return true;
}

}  // namespace nimbora
