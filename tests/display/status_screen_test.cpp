#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "display/status_screen.h"
#include "platform/host/host_platform.h"
#include "support/host_session_fixture.h"

namespace nimbora {
namespace {

using ScreenTextsTest = HostSessionTest;

std::string Utf16File(const std::u16string& text) {
  std::string bytes = "\xFF\xFE";
  for (char16_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  return bytes;
}

const std::string kTexts =
    "[English]\r\nUpdate=Updating\r\n"
    "[Deutsch]\r\nUpdate=Dateien werden aktualisiert ...\r\nSuccess=Fertig.\r\n";

struct TextsCase {
  const char* name;
  const char* mainIni;      // nullptr: no main.ini
  std::string languageIni;  // empty: no Language.ini
  const char16_t* key;
  const char16_t* expected;
};

class ScreenTextCaseTest : public HostSessionTest, public ::testing::WithParamInterface<TextsCase> {};

TEST_P(ScreenTextCaseTest, TextsComeFromTheUsersLanguageOrTheDefaults) {
  if (GetParam().mainIni != nullptr) WriteMainIni(GetParam().mainIni);
  if (!GetParam().languageIni.empty()) WriteLanguageIni(GetParam().languageIni);
  Language language;
  ChooseLanguage(&language);
  char16_t text[kScreenTextCapacity];
  const ScreenText asked{GetParam().key, u"the default", kScreenTextCapacity, ScreenBand::Message,
                        TextFont::Fitted};
  ReadScreenText(&language, asked, text, kScreenTextCapacity);
  EXPECT_EQ(std::u16string(text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ScreenTextCaseTest,
    ::testing::Values(
        TextsCase{"KeyOfTheLanguage", "[Option]\nLangue=Deutsch\n", kTexts, u"Success", u"Fertig."},
        TextsCase{"KeyMissingInTheLanguage", "[Option]\nLangue=deutsch\n", kTexts, u"Press",
                  u"the default"},
        TextsCase{"LanguageWithoutSection", "[Option]\nLangue=Klingon\n", kTexts, u"Update",
                  u"the default"},
        TextsCase{"EnglishWithoutMainIni", nullptr, kTexts, u"Update", u"Updating"},
        TextsCase{"NoLanguageIni", "[Option]\nLangue=Deutsch\n", "", u"Update", u"the default"},
        TextsCase{"Utf16LanguageIni",
                  "[Option]\nLangue=Fran\xC3\xA7"
                  "ais\n",
                  Utf16File(u"[Français]\r\nUpdate=Mise à jour des fichiers ...\r\n"), u"Update",
                  u"Mise à jour des fichiers ..."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ScreenTextsTest, TheLanguageIsReadFromMainIniAndTheTextsPathFormed) {
  WriteMainIni("[Option]\nLangue=Deutsch\n");
  Language language;
  ChooseLanguage(&language);
  EXPECT_EQ(std::u16string(language.name), u"Deutsch");
  EXPECT_EQ(std::u16string(language.textsPath), u"\\ResidentFlash\\Nimbora\\Language.ini");
}

struct SetUpCase {
  const char* name;
  InitialFont initialFont;
  const char* drawn;
};

class ScreenSetUpTest : public HostSessionTest, public ::testing::WithParamInterface<SetUpCase> {};

TEST_P(ScreenSetUpTest, SetUpDrawsInTheTextColourAndReleaseFreesEverything) {
  ScreenResources screen{};
  SetUpScreen(OpenWindow(), GetParam().initialFont, &screen);
  Rect band = kPromptBand;
  DrawTextInRect(screen.surface, u"HHH", -1, &band, kAlignLeft);
  BlankBand(&screen, kMessageBand);
  TearDownScreen(&screen);
  EXPECT_EQ(HostLiveDrawingResources(), 0);
  ASSERT_EQ(DrawnTexts().size(), 1u);
  EXPECT_EQ(DrawnTexts()[0], GetParam().drawn);
  EXPECT_EQ(Log("fill").back()["rect"], LogEntry({20, 200, 780, 240}));
  EXPECT_EQ(Pixel(20, 310), 0xC896C8u);  // the first character's block
  EXPECT_EQ(Pixel(20 + 3 * kTestFontAdvance, 310), 0u);  // transparent: no box around the text
}

INSTANTIATE_TEST_SUITE_P(Fonts, ScreenSetUpTest,
                         ::testing::Values(SetUpCase{"LargeFontSelected", InitialFont::Large, "HHH|300|0|32"},
                                           SetUpCase{"DefaultFontKept", InitialFont::Default, "HHH|300|0|0"}),
                         [](const auto& info) { return std::string(info.param.name); });


// Every character is kTestFontAdvance pixels wide, so a text of n characters
// is exactly n * kTestFontAdvance wide in either font; the band is 760 wide.
class FittedTextTest : public HostSessionTest {
 protected:
  void SetUp() override {
    HostSessionTest::SetUp();
    SetUpScreen(OpenWindow(), InitialFont::Large, &screen);
  }
  void TearDown() override {
    TearDownScreen(&screen);
    EXPECT_EQ(HostLiveDrawingResources(), 0);
    HostSessionTest::TearDown();
  }
  LogEntry Drawn(int characters) {
    std::u16string text(characters, u'W');
    DrawFittedText(screen.surface, text.c_str(), kMessageBand, kAlignCenter, screen.smallFont);
    std::vector<LogEntry> texts = Log("text");
    EXPECT_EQ(texts.size(), 1u);
    EXPECT_EQ(SelectIntoSurface(screen.surface, screen.largeFont), screen.largeFont);
    return texts.empty() ? LogEntry() : texts.back();
  }

  ScreenResources screen{};
};

struct FitCase {
  int characters;
  int font;  // the font's logical height the text is drawn in
  bool cut;
};

class FittedTextWidthTest : public FittedTextTest, public ::testing::WithParamInterface<FitCase> {};

TEST_P(FittedTextWidthTest, TheLargeFontIsUsedWhileTheTextFitsTheBand) {
  LogEntry drawn = Drawn(GetParam().characters);
  EXPECT_EQ(drawn["rect"], LogEntry({20, 200, 780, 240}));
  EXPECT_EQ(drawn["format"], kAlignCenter);
  EXPECT_EQ(drawn["font"], GetParam().font);
  EXPECT_EQ(drawn["width"], GetParam().characters * kTestFontAdvance);
  EXPECT_EQ(drawn["cut"], GetParam().cut);
}

INSTANTIATE_TEST_SUITE_P(Widths, FittedTextWidthTest,
                         ::testing::Values(FitCase{30, 32, false}, FitCase{76, 32, false},
                                           FitCase{77, 24, true}, FitCase{100, 24, true}));

// Too wide even for the small font: drawn once, centred, cut at both edges.
TEST_F(FittedTextTest, ATextTooWideForBothFontsIsCutAtTheBandsEdges) {
  Drawn(100);  // 1000 pixels from x = -100
  Rect lit = LitBounds();
  EXPECT_EQ(lit.left, 20);
  EXPECT_EQ(lit.right, 779);  // the last block's gap column lies at 779
  EXPECT_EQ(lit.top, 200);
  EXPECT_EQ(lit.bottom, 224);
}

}  // namespace
}  // namespace nimbora
