#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "display/display_test_support.h"
#include "display/status_screen.h"
#include "platform/host/host_platform.h"

namespace nimbora {
namespace {

class FittedTextTest : public DisplayTest {
 protected:
  void SetUp() override {
    DisplayTest::SetUp();
    SetUpScreen(OpenPlainWindow(), true, &screen);
  }
  void TearDown() override {
    ReleaseScreen(&screen);
    EXPECT_EQ(HostLiveDrawingResources(), 0);
    DisplayTest::TearDown();
  }
  int Width(const std::u16string& text) {
    Rect rect{0, 0, 0, 0};
    DrawTextInRect(screen.surface, text.c_str(), -1, &rect, kCalculateRect);
    return rect.right;
  }
  // A text exactly width pixels wide in the selected font, made of letters
  // whose widths add up to it (the host draws without kerning).
  std::u16string TextOfWidth(int width) {
    const std::u16string letters = u"iltfrjJIsceaonuhdbpqgkvxyzLTFPEZBSCRKXYVNHUDAOGQmwMW";
    std::vector<int> steps;
    for (char16_t letter : letters) steps.push_back(Width(std::u16string(1, letter)));
    std::vector<std::u16string> best(width + 1);
    std::vector<bool> reached(width + 1, false);
    reached[0] = true;
    for (int w = 1; w <= width; ++w) {
      for (size_t i = 0; i < letters.size(); ++i) {
        if (steps[i] > 0 && steps[i] <= w && reached[w - steps[i]]) {
          best[w] = best[w - steps[i]] + letters[i];
          reached[w] = true;
          break;
        }
      }
    }
    EXPECT_TRUE(reached[width]) << width;
    EXPECT_EQ(Width(best[width]), width);
    return best[width];
  }
  // Draws the text and tells in which font it came out.
  std::string Drawn(const std::u16string& text) {
    DrawFittedText(screen.surface, text.c_str(), kMessageBand, kAlignCenter, screen.smallFont);
    std::vector<std::string> texts = DrawnTexts();
    EXPECT_EQ(texts.size(), 1u);
    return texts.empty() ? "" : texts.back().substr(texts.back().find('|'));
  }
  bool LargeFontSelected() {
    DrawObject* current = SelectIntoSurface(screen.surface, screen.largeFont);
    return current == screen.largeFont;
  }

  ScreenResources screen{};
};

struct FitCase {
  const char* name;
  int largeWidth;     // the text's width in the large font
  const char* drawn;  // "|top|format|font"
};

class FittedTextWidthTest : public FittedTextTest, public ::testing::WithParamInterface<FitCase> {};

TEST_P(FittedTextWidthTest, TheLargeFontIsUsedWhileTheTextFitsTheBand) {
  EXPECT_EQ(Drawn(TextOfWidth(GetParam().largeWidth)), GetParam().drawn);
  EXPECT_TRUE(LargeFontSelected());
}

INSTANTIATE_TEST_SUITE_P(Widths, FittedTextWidthTest,
                         ::testing::Values(FitCase{"Narrow", 300, "|200|1|32"},
                                           FitCase{"ExactlyTheBand", 760, "|200|1|32"},
                                           FitCase{"OnePixelTooWide", 761, "|200|1|24"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FittedTextTest, TooWideEvenForTheSmallFontIsDrawnOnceAndCut) {
  std::u16string text(60, u'W');
  SelectIntoSurface(screen.surface, screen.smallFont);
  ASSERT_GT(Width(text), 800);
  SelectIntoSurface(screen.surface, screen.largeFont);
  EXPECT_EQ(Drawn(text), "|200|1|24");
  EXPECT_TRUE(LargeFontSelected());
  // Centred and cut at both edges of the band.
  int leftmost = kScreenWidth, rightmost = 0;
  for (int y = 200; y < 240; ++y) {
    for (int x = 0; x < kScreenWidth; ++x) {
      if (HostScreenPixels()[y * kScreenWidth + x] == 0) continue;
      leftmost = std::min(leftmost, x);
      rightmost = std::max(rightmost, x);
    }
  }
  EXPECT_GE(leftmost, 20);
  EXPECT_LE(leftmost, 30);
  EXPECT_LE(rightmost, 779);
  EXPECT_GE(rightmost, 769);
}

}  // namespace
}  // namespace nimbora
