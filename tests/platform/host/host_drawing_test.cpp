#include <gtest/gtest.h>

#include <utility>

#include "platform/drawing.h"
#include "platform/host/host_platform.h"
#include "support/host_session_fixture.h"

namespace nimbora {
namespace {

constexpr Colour kLilac = 0x00C896C8;  // red 200, green 150, blue 200
constexpr uint32_t kLilacPixel = 0xC896C8;
constexpr const char* kMonoFontFile = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf";

// Drawing as the panel draws: real fonts, unless a test sets another advance.
class HostDrawingTest : public HostSessionTest {
 protected:
  HostDrawingTest() { fixedFontAdvance = 0; }
  void SetUp() override {
    HostSessionTest::SetUp();
    PrepareSurface();
  }
  void TearDown() override {
    ReleaseSurface();
    HostSessionTest::TearDown();
  }
  void PrepareSurface() {
    surface = GetWindowSurface(OpenWindow());
    SetSurfaceTextColour(surface, kLilac);
    SetSurfaceBackgroundMode(surface, kBackgroundTransparent);
  }
  void ReleaseSurface() {
    if (font != nullptr) {
      SelectIntoSurface(surface, defaultFont);
      DeleteDrawObject(font);
      font = nullptr;
    }
    ReleaseWindowSurface(nullptr, surface);
    EXPECT_EQ(HostLiveDrawingResources(), 0);
  }
  // Starts again with other drawing options, with a fresh surface.
  void RestartWith(int advance, const char* fontFile) {
    ReleaseSurface();
    HostFinish(0);
    std::string log = HostPath("draw.log");
    HostOptions options{};
    options.root = root.c_str();
    options.virtualClock = true;
    options.drawLogPath = log.c_str();
    options.fixedFontAdvance = advance;
    options.fontFile = fontFile;
    char error[200] = "";
    ASSERT_EQ(HostStart(&options, error, sizeof error), 1) << error;
    PrepareSurface();
  }
  void SelectFont(int height, int width) {
    if (font != nullptr) {
      SelectIntoSurface(surface, defaultFont);
      DeleteDrawObject(font);
    }
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
  EXPECT_EQ(Log().back(), LogEntry::parse(R"({"t":0,"op":"fill","rect":[10,20,30,40]})"));
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

// A clear of the whole screen wipes whatever was drawn since the last one,
// fills and glyphs alike, whichever colours the clears use.
TEST_F(HostDrawingTest, WholeScreenClearsWipeEverythingDrawnSince) {
  SelectFont(32, 20);
  Rect whole{0, 0, kScreenWidth, kScreenHeight};
  Rect text{20, 200, 780, 240};
  Rect box{700, 400, 900, 500};
  // Colours as the device gives them (0x00BBGGRR) and as pixels (0x00RRGGBB).
  const std::pair<Colour, uint32_t> grounds[] = {
      {0x000000FF, 0xFF0000}, {0, 0}, {0, 0}, {0x000000FF, 0xFF0000}, {0x000000FF, 0xFF0000}};
  for (auto [ground, pixel] : grounds) {
    DrawObject* brush = CreateSolidBrushOf(ground);
    DrawObject* lilac = CreateSolidBrushOf(kLilac);
    FillWithBrush(surface, &whole, brush);
    DrawTextInRect(surface, u"HHHH", -1, &text, kAlignCenter);
    FillWithBrush(surface, &box, lilac);
    FillWithBrush(surface, &whole, brush);
    DeleteDrawObject(brush);
    DeleteDrawObject(lilac);
    for (int y = 0; y < kScreenHeight; y += 7) {
      for (int x = 0; x < kScreenWidth; x += 3) ASSERT_EQ(Pixel(x, y), pixel) << x << "," << y;
    }
  }
}

TEST_F(HostDrawingTest, FontsAreSizedByCellHeightAndAverageWidth) {
  SelectFont(32, 20);
  Rect rect{20, 200, 780, 240};
  EXPECT_EQ(DrawTextInRect(surface, u"Hg", -1, &rect, kCalculateRect), 32);
  EXPECT_EQ(rect.bottom, 232);
  int wide = Width(u"abcdefghijklmnopqrstuvwxyz");
  SelectFont(24, 10);
  EXPECT_EQ(DrawTextInRect(surface, u"Hg", -1, &rect, kCalculateRect), 24);
  int narrow = Width(u"abcdefghijklmnopqrstuvwxyz");
  EXPECT_NEAR(static_cast<double>(wide) / narrow, 2.0, 0.15);
}

TEST_F(HostDrawingTest, MeasuringSetsTheRightEdgeAndDrawsNothing) {
  SelectFont(32, 20);
  size_t logged = Log().size();
  Rect rect{100, 200, 110, 240};
  DrawTextInRect(surface, u"Starting ...", -1, &rect, kAlignCenter | kCalculateRect);
  EXPECT_EQ(rect.left, 100);
  EXPECT_EQ(rect.right, 100 + Width(u"Starting ..."));
  EXPECT_GT(rect.right, 200);
  EXPECT_EQ(LitBounds().right, 0);
  EXPECT_EQ(Log().size(), logged);
}

class HostTextAlignmentTest : public HostDrawingTest,
                              public ::testing::WithParamInterface<uint32_t> {};

// Where a text of this width starts in the band from 20 to 780.
int ExpectedLeft(uint32_t format, int width) {
  return format == kAlignCenter ? (20 + 780 - width) / 2 : format == kAlignRight ? 780 - width : 20;
}

TEST_P(HostTextAlignmentTest, GlyphsLandInTheTextBoxInTheTextColour) {
  SelectFont(32, 20);
  int width = Width(u"HHHH");
  int left = ExpectedLeft(GetParam(), width);
  Rect rect{20, 200, 780, 240};
  DrawTextInRect(surface, u"HHHH", -1, &rect, GetParam());
  Rect lit = LitBounds();
  EXPECT_GE(lit.left, left);
  EXPECT_LE(lit.left, left + 5);  // the first glyph's side bearing
  EXPECT_LE(lit.right, left + width);
  EXPECT_GE(lit.right, left + width - 5);
  EXPECT_GE(lit.top, 200);
  EXPECT_LE(lit.bottom, 232);
  EXPECT_EQ(Pixel(lit.left + 1, (lit.top + lit.bottom) / 2), kLilacPixel);  // inside a stem
  LogEntry expected{{"t", 0},           {"op", "text"},     {"text", "HHHH"},
                    {"rect", {20, 200, 780, 240}},          {"format", GetParam()},
                    {"font", 32},       {"face", "HandelGothic BT"},
                    {"width", width},   {"cut", false},     {"substitute", true}};
  EXPECT_EQ(Log().back(), expected);
}

INSTANTIATE_TEST_SUITE_P(Formats, HostTextAlignmentTest,
                         ::testing::Values(kAlignLeft, kAlignCenter, kAlignRight));

TEST_F(HostDrawingTest, TextIsClippedToTheRectangleAndLoggedAsCut) {
  SelectFont(32, 20);
  Rect rect{300, 210, 400, 220};  // narrower and lower than the text
  DrawTextInRect(surface, u"WWWWWWWWWWWWWWWW", -1, &rect, kAlignCenter);
  Rect lit = LitBounds();
  EXPECT_GE(lit.left, 300);
  EXPECT_LE(lit.right, 400);
  EXPECT_GE(lit.top, 210);
  EXPECT_LE(lit.bottom, 220);
  EXPECT_GT(lit.right - lit.left, 90);  // cut, not dropped
  EXPECT_EQ(Log().back()["cut"], true);
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
  EXPECT_EQ(Log().back()["font"], 0);
  EXPECT_EQ(Log().back()["face"], "Tahoma");
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

// Whatever the program leaves, the session's end releases.
TEST_F(HostDrawingTest, FinishReleasesWhatTheProgramLeft) {
  SelectFont(24, 16);
  CreateSolidBrushOf(0);
  EXPECT_EQ(HostLiveDrawingResources(), 3);
  HostFinish(0);
  EXPECT_EQ(HostLiveDrawingResources(), 0);
  EXPECT_EQ(HostScreenPixels(), nullptr);
  surface = nullptr;
  font = nullptr;
  Restart(nullptr);
}

// Each character a block of the advance but its last column, over the cell.
TEST_F(HostDrawingTest, AFixedAdvanceDrawsBlocksOfExactWidth) {
  RestartWith(7, nullptr);
  SelectFont(32, 20);
  EXPECT_EQ(Width(u"Hi \U0001F600"), 28);  // the surrogate pair is one character
  Rect rect{20, 200, 780, 240};
  DrawTextInRect(surface, u"Hi W", -1, &rect, kAlignRight);
  EXPECT_EQ(LitBounds().left, 752);
  EXPECT_EQ(LitBounds().right, 779);
  EXPECT_EQ(LitBounds().top, 200);
  EXPECT_EQ(LitBounds().bottom, 232);
  EXPECT_EQ(Pixel(752 + 6, 210), 0u);      // the gap between blocks
  EXPECT_EQ(Pixel(752 + 7 + 7, 210), 0u);  // the blank
  EXPECT_EQ(Pixel(752 + 21, 231), kLilacPixel);
  EXPECT_EQ(Log().back()["substitute"], false);
  HostFontUse use{};
  EXPECT_FALSE(HostFontUsed("HandelGothic BT", &use));
}

TEST_F(HostDrawingTest, TheFontUsedIsNamedAndAFontFileStandsInForEveryNamedFace) {
  HostFontUse use{};
  ASSERT_TRUE(HostFontUsed("HandelGothic BT", &use));
  EXPECT_TRUE(use.substitute);
  ASSERT_TRUE(HostFontUsed(use.family, &use));
  EXPECT_FALSE(use.substitute);
  RestartWith(0, kMonoFontFile);
  ASSERT_TRUE(HostFontUsed("HandelGothic BT", &use));
  EXPECT_EQ(std::string(use.file), kMonoFontFile);
  EXPECT_EQ(std::string(use.family), "DejaVu Sans Mono");
  EXPECT_FALSE(use.substitute);
  SelectFont(32, 20);
  EXPECT_EQ(Width(u"iiii"), Width(u"WWWW"));  // monospaced
  Rect rect{20, 200, 780, 240};
  DrawTextInRect(surface, u"ii", -1, &rect, kAlignLeft);
  EXPECT_EQ(Log().back()["substitute"], false);
}

TEST_F(HostDrawingTest, AnUnreadableFontFileIsRefusedAtStart) {
  ReleaseSurface();
  HostFinish(0);
  HostOptions options{};
  options.root = root.c_str();
  options.virtualClock = true;
  options.fontFile = "/no/such.ttf";
  char error[200] = "";
  EXPECT_EQ(HostStart(&options, error, sizeof error), 0);
  EXPECT_STREQ(error, "cannot read the font file /no/such.ttf");
  Restart(nullptr);
  PrepareSurface();
}

}  // namespace
}  // namespace nimbora
