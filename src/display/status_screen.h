// The status screen: bands, fonts, colours, the texts of Language.ini, and
// drawing a text in a band with a smaller font as fallback.
#pragma once

#include "platform/drawing.h"
#include "platform/file_system.h"

namespace nimbora {

constexpr Rect kMessageBand{20, 200, 780, 240};
constexpr Rect kPromptBand{20, 300, 780, 340};
constexpr Rect kFooterBand{20, 456, 780, 474};
constexpr Colour kTextColour = 0x00C896C8;
// The screens' face, and the large font and the small fallback by size.
constexpr const char16_t* kScreenFaceName = u"HandelGothic BT";
struct FontSize {
  int32_t height;
  int32_t width;
};
constexpr FontSize kLargeFont{32, 20};
constexpr FontSize kSmallFont{24, 16};
constexpr int kLanguageCapacity = 20;
constexpr int kScreenTextCapacity = 256;

struct ScreenResources {
  Window* window;
  Surface* surface;
  DrawObject* largeFont;
  DrawObject* smallFont;
  DrawObject* blankingBrush;
  DrawObject* keptFont;  // what the large font replaced, once selected
};

// The user's language ("Langue" in main.ini) and the path of Language.ini.
struct Language {
  char16_t name[kLanguageCapacity];
  char16_t textsPath[kPathCapacity];
};

void ChooseLanguage(Language* language);
// Gets the window's device context, creates both fonts and the blanking
// brush, and sets the text colour and the transparent background.
void SetUpScreen(Window* window, bool selectLargeFont, ScreenResources* screen);
// Selects the large font, keeping the font it replaces.
void SelectLargeFont(ScreenResources* screen);
// Selects the kept font back, then deletes what the set-up created.
void ReleaseScreen(ScreenResources* screen);
void BlankBand(const ScreenResources* screen, const Rect& band);
int ReadScreenText(const Language* language, const char16_t* key, const char16_t* defaultText,
                   char16_t* text, int capacity);
// Draws the text once: in the current font when it fits the band's width,
// otherwise in the fallback font (clipped if it is still too wide).
void DrawFittedText(Surface* surface, const char16_t* text, const Rect& band, uint32_t format,
                    DrawObject* fallbackFont);

}  // namespace nimbora
