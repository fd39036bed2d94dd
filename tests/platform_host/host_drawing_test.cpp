#include <gtest/gtest.h>

#include "platform/drawing.h"
#include "platform_host/host_session_test_support.h"

namespace nimbora {
namespace {

constexpr Colour kLilac = 0x00C896C8;  // red 200, green 150, blue 200
constexpr uint32_t kLilacPixel = 0xC896C8;

class HostDrawingTest : public HostSessionTest {
 protected:
  void SetUp() override {
    HostSessionTest::SetUp();
    surface = GetWindowSurface(OpenWindow());
    SetSurfaceTextColour(surface, kLilac);
    SetSurfaceBackgroundMode(surface, kBackgroundTransparent);
  }
  void TearDown() override {
    if (font != nullptr) {
      SelectIntoSurface(surface, defaultFont);
      DeleteDrawObject(font);
    }
    ReleaseWindowSurface(nullptr, surface);
    EXPECT_EQ(HostLiveDrawingResources(), 0);
    HostSessionTest::TearDown();
  }
  void SelectFont(int height, int width) {
    LogicalFont record{};
    record.height = height;
    record.width = width;
    record.weight = 400;
    std::u16string face = u"HandelGothic BT";
    face.copy(record.faceName, face.size());
    font = CreateFontFrom(&record);
    ASSERT_NE(font, nullptr);
    defaultFont = SelectIntoSurface(surface, font);
  }
  int Width(const char16_t* text) {
    Rect rect{0, 0, 0, 0};
    DrawTextInRect(surface, text, -1, &rect, kCalculateRect);
    return rect.right;
  }

  Surface* surface = nullptr;
  DrawObject* font = nullptr;
  DrawObject* defaultFont = nullptr;
};

TEST_F(HostDrawingTest, FillCoversTheRectangleWithoutItsRightAndBottomEdges) {
  DrawObject* brush = CreateSolidBrushOf(0x000000FF);  // pure red
  Rect rect{10, 20, 30, 40};
  FillWithBrush(surface, &rect, brush);
  DeleteDrawObject(brush);
  EXPECT_EQ(Pixel(10, 20), 0xFF0000u);
  EXPECT_EQ(Pixel(29, 39), 0xFF0000u);
  EXPECT_EQ(LitBounds().right, 30);
  EXPECT_EQ(LitBounds().bottom, 40);
  EXPECT_EQ(LogLines().back(), R"({"t":0,"op":"fill","rect":[10,20,30,40]})");
}

TEST_F(HostDrawingTest, FillIsClippedToTheScreen) {
  DrawObject* brush = CreateSolidBrushOf(0x00FFFFFF);
  Rect rect{-50, 470, 900, 600};
  FillWithBrush(surface, &rect, brush);
  DeleteDrawObject(brush);
  Rect lit = LitBounds();
  EXPECT_EQ(lit.left, 0);
  EXPECT_EQ(lit.top, 470);
  EXPECT_EQ(lit.right, kScreenWidth);
  EXPECT_EQ(lit.bottom, kScreenHeight);
}

TEST_F(HostDrawingTest, FontsAreSizedByCellHeightAndAverageWidth) {
  SelectFont(32, 20);
  Rect rect{20, 200, 780, 240};
  EXPECT_EQ(DrawTextInRect(surface, u"Hg", -1, &rect, kCalculateRect), 32);
  EXPECT_EQ(rect.bottom, 232);
  int wide = Width(u"abcdefghijklmnopqrstuvwxyz");
  SelectIntoSurface(surface, defaultFont);
  DeleteDrawObject(font);
  SelectFont(24, 10);
  EXPECT_EQ(DrawTextInRect(surface, u"Hg", -1, &rect, kCalculateRect), 24);
  int narrow = Width(u"abcdefghijklmnopqrstuvwxyz");
  EXPECT_NEAR(static_cast<double>(wide) / narrow, 2.0, 0.15);
}

TEST_F(HostDrawingTest, MeasuringSetsTheRightEdgeAndDrawsNothing) {
  SelectFont(32, 20);
  size_t logged = LogLines().size();
  Rect rect{100, 200, 110, 240};
  DrawTextInRect(surface, u"Starting ...", -1, &rect, kAlignCenter | kCalculateRect);
  EXPECT_EQ(rect.left, 100);
  EXPECT_EQ(rect.right, 100 + Width(u"Starting ..."));
  EXPECT_GT(rect.right, 200);
  EXPECT_EQ(LitBounds().right, 0);
  EXPECT_EQ(LogLines().size(), logged);
}

class HostTextAlignmentTest : public HostDrawingTest,
                              public ::testing::WithParamInterface<uint32_t> {};

// Where a text of this width starts in the band from 20 to 780.
int ExpectedLeft(uint32_t format, int width) {
  return format == kAlignCenter ? (20 + 780 - width) / 2 : format == kAlignRight ? 780 - width : 20;
}

TEST_P(HostTextAlignmentTest, GlyphsLandInTheTextBoxInTheTextColour) {
  SelectFont(32, 20);
  Rect band{20, 200, 780, 240};
  int width = Width(u"HHHH");
  int left = ExpectedLeft(GetParam(), width);
  Rect rect = band;
  DrawTextInRect(surface, u"HHHH", -1, &rect, GetParam());
  Rect lit = LitBounds();
  EXPECT_GE(lit.left, left);
  EXPECT_LE(lit.left, left + 5);  // the first glyph's side bearing
  EXPECT_LE(lit.right, left + width);
  EXPECT_GE(lit.right, left + width - 5);
  EXPECT_GE(lit.top, 200);
  EXPECT_LE(lit.bottom, 232);
  EXPECT_EQ(Pixel(lit.left + 1, (lit.top + lit.bottom) / 2), kLilacPixel);  // inside a stem
  char expected[128];
  snprintf(expected, sizeof expected,
           R"({"t":0,"op":"text","text":"HHHH","rect":[20,200,780,240],"format":%u,"font":32})",
           GetParam());
  EXPECT_EQ(LogLines().back(), expected);
}

INSTANTIATE_TEST_SUITE_P(Formats, HostTextAlignmentTest,
                         ::testing::Values(kAlignLeft, kAlignCenter, kAlignRight));

TEST_F(HostDrawingTest, TextIsClippedToTheRectangle) {
  SelectFont(32, 20);
  Rect rect{300, 210, 400, 220};  // narrower and lower than the text
  DrawTextInRect(surface, u"WWWWWWWWWWWWWWWW", -1, &rect, kAlignCenter);
  Rect lit = LitBounds();
  EXPECT_GE(lit.left, 300);
  EXPECT_LE(lit.right, 400);
  EXPECT_GE(lit.top, 210);
  EXPECT_LE(lit.bottom, 220);
  EXPECT_GT(lit.right - lit.left, 90);  // cut, not dropped
}

TEST_F(HostDrawingTest, AnOpaqueBackgroundFillsTheTextBoxWhite) {
  SetSurfaceBackgroundMode(surface, 2);
  Rect rect{0, 0, 800, 100};
  int height = DrawTextInRect(surface, u"Hi", -1, &rect, kAlignLeft);
  EXPECT_EQ(Pixel(0, height - 1), 0xFFFFFFu);
  EXPECT_EQ(Pixel(Width(u"Hi") - 1, 0), 0xFFFFFFu);
  EXPECT_EQ(Pixel(Width(u"Hi"), 0), 0u);
}

TEST_F(HostDrawingTest, AFreshSurfaceDrawsInTheDefaultFont) {
  Rect rect{20, 456, 780, 474};
  EXPECT_EQ(DrawTextInRect(surface, u"KT4200", -1, &rect, kAlignLeft), 16);
  EXPECT_NE(LogLines().back().find(R"("font":0})"), std::string::npos);
  EXPECT_GE(LitBounds().top, 456);
}

TEST_F(HostDrawingTest, ASelectedFontIsNotDeleted) {
  SelectFont(24, 16);
  EXPECT_EQ(DeleteDrawObject(font), 0);
  EXPECT_EQ(HostLiveDrawingResources(), 2);  // the surface and the font
  EXPECT_EQ(SelectIntoSurface(surface, defaultFont), font);
  EXPECT_EQ(DeleteDrawObject(font), 1);
  font = nullptr;
}

}  // namespace
}  // namespace nimbora
