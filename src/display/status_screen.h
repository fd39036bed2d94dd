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
constexpr int kFooterTextCapacity = 50;

enum class ScreenBand { Message, Prompt, Footer };

constexpr Rect BandRect(ScreenBand band) {
  return band == ScreenBand::Message ? kMessageBand
         : band == ScreenBand::Prompt ? kPromptBand
                                      : kFooterBand;
}

// How a screen text is drawn: by DrawFittedText (the small font when the
// large one is too wide), in the large font only, or in the device
// context's default font.
enum class TextFont { Fitted, LargeOnly, Default };

// A text the user sees: looked up under its key in the user's language of
// Language.ini, with its built-in English default, when it is drawn.
struct ScreenText {
  const char16_t* key;
  const char16_t* defaultText;
  int capacity;
  ScreenBand band;
  TextFont font;
};

constexpr ScreenText kUpdateText{u"Update", u"Update the files ...", kScreenTextCapacity,
                                 ScreenBand::Message, TextFont::Fitted};
constexpr ScreenText kSuccessText{u"Success", u"Successfully updated the files.",
                                  kScreenTextCapacity, ScreenBand::Message, TextFont::Fitted};
constexpr ScreenText kErrorText{u"Error", u"Failed to update the files.", kScreenTextCapacity,
                                ScreenBand::Message, TextFont::Fitted};
constexpr ScreenText kPressText{u"Press", u"Press any key to continue ...", kScreenTextCapacity,
                                ScreenBand::Prompt, TextFont::Fitted};
constexpr ScreenText kStartText{u"Start", u"Starting ...", kScreenTextCapacity,
                                ScreenBand::Message, TextFont::LargeOnly};
constexpr ScreenText kOpenText{u"Open", u"Can't open the application software!",
                               kScreenTextCapacity, ScreenBand::Message, TextFont::Fitted};
constexpr ScreenText kVersionLabelText{u"Version", u"Version", kFooterTextCapacity,
                                       ScreenBand::Footer, TextFont::Default};
constexpr const ScreenText* kScreenTexts[] = {&kUpdateText, &kSuccessText, &kErrorText,
                                              &kPressText,  &kStartText,   &kOpenText,
                                              &kVersionLabelText};

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

// The font a set-up leaves selected: the large font at once, or the device
// context's default until SelectLargeFont.
enum class InitialFont { Large, Default };

void ChooseLanguage(Language* language);
// Gets the window's device context, creates both fonts and the blanking
// brush, and sets the text colour and the transparent background.
void SetUpScreen(Window* window, InitialFont initialFont, ScreenResources* screen);
// Selects the large font, keeping the font it replaces.
void SelectLargeFont(ScreenResources* screen);
// Selects the kept font back, then deletes what the set-up created.
void TearDownScreen(ScreenResources* screen);
void BlankBand(const ScreenResources* screen, const Rect& band);
// Reads at most the text's own capacity, and at most capacity.
int ReadScreenText(const Language* language, const ScreenText& screenText, char16_t* text,
                   int capacity);
// Draws the text once: in the current font when it fits the band's width,
// otherwise in the fallback font (clipped if it is still too wide).
void DrawFittedText(Surface* surface, const char16_t* text, const Rect& band, uint32_t format,
                    DrawObject* fallbackFont);
// Whether font is the record the set-up creates the font of that size from.
bool IsScreenFont(const LogicalFont* font, FontSize size);

}  // namespace nimbora
