#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "display/status_screen.h"
#include "platform/host/host_platform.h"
#include "support/host_session_fixture.h"

namespace nimbora {
namespace {

// Every character is kTestFontAdvance pixels wide, so a text of n characters
// is exactly n * kTestFontAdvance wide in either font; the band is 760 wide.
class FittedTextTest : public HostSessionTest {
 protected:
  void SetUp() override {
    HostSessionTest::SetUp();
    SetUpScreen(OpenWindow(), true, &screen);
  }
  void TearDown() override {
    ReleaseScreen(&screen);
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
