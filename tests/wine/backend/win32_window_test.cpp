// The windowing, drawing and shell seam on user32, gdi32 and shell32: the
// resources, a window that covers the screen as on the device, messages
// through the trampoline, and drawing with the status screen's settings.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/drawing.h"
#include "platform/shell.h"
#include "win32_handles.h"
#include "platform/window.h"
#include "updater_resources.h"

namespace nimbora {
namespace {

constexpr Colour kTextColour = 0x00C896C8;
constexpr uint32_t kTestMessage = WM_USER + 1;

std::vector<Message> received;

intptr_t RecordingProcedure(Window* window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (message == kTestMessage) received.push_back(Message{window, message, wParam, lParam});
  return DefaultProcessing(window, message, wParam, lParam);
}

Instance* ThisInstance() { return reinterpret_cast<Instance*>(GetModuleHandleW(nullptr)); }

class Win32WindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    WindowClass windowClass{kClassStyleRedrawOnResize, RecordingProcedure, 0, 0, ThisInstance(),
                            LoadIconResource(ThisInstance(), IDI_UPDATER),
                            StockObject(kStockBlackBrush), u"BACKENDTEST"};
    ASSERT_EQ(RegisterWindowClass(&windowClass), 1);
  }

  void SetUp() override {
    WindowParameters parameters{0, u"BACKENDTEST", u"Test", kWindowStyleVisible, kDefaultPosition,
                    kDefaultPosition, kDefaultPosition, kDefaultPosition, ThisInstance()};
    window = CreateWindowFrom(&parameters);
    ASSERT_NE(window, nullptr);
    PaintWindowNow(window);
    received.clear();
  }
  void TearDown() override { DestroyWindow(AsHwnd(window)); }

  Window* window = nullptr;
};

TEST_F(Win32WindowTest, ResourcesLoad) {
  char16_t text[100];
  EXPECT_EQ(LoadStringResource(ThisInstance(), IDS_UPDATER_TITLE, text, 100), 6);
  EXPECT_EQ(std::u16string(text), u"Update");
  EXPECT_EQ(LoadStringResource(ThisInstance(), IDS_UPDATER_CLASS, text, 4), 3);
  EXPECT_EQ(std::u16string(text), u"UPD");
  EXPECT_NE(LoadAcceleratorResource(ThisInstance(), IDR_UPDATER_ACCELERATORS), nullptr);
  EXPECT_EQ(LoadAcceleratorResource(ThisInstance(), 77), nullptr);
}

TEST_F(Win32WindowTest, DefaultBoundsCoverTheScreenWithoutCaption) {
  RECT client;
  GetClientRect(AsHwnd(window), &client);
  POINT origin{0, 0};
  ClientToScreen(AsHwnd(window), &origin);
  EXPECT_EQ(origin.x, 0);
  EXPECT_EQ(origin.y, 0);
  EXPECT_EQ(client.right, GetSystemMetrics(SM_CXSCREEN));
  EXPECT_EQ(client.bottom, GetSystemMetrics(SM_CYSCREEN));
}

TEST_F(Win32WindowTest, PostedMessagesReachTheProcedureAndQuitEndsTheLoop) {
  ASSERT_EQ(PostToWindow(window, kTestMessage, 7, -3), 1);
  PostQuitWith(5);
  Message message;
  ASSERT_EQ(GetNextMessage(&message), 1);
  EXPECT_EQ(message.message, kTestMessage);
  EXPECT_EQ(OfferToAccelerators(window, LoadAcceleratorResource(ThisInstance(), IDR_UPDATER_ACCELERATORS),
                                &message),
            0);
  DispatchToWindow(&message);
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].window, window);
  EXPECT_EQ(received[0].wParam, 7u);
  EXPECT_EQ(received[0].lParam, -3);

  EXPECT_EQ(GetNextMessage(&message), 0);
  EXPECT_EQ(message.message, kMessageQuit);
  EXPECT_EQ(message.wParam, 5u);
}

// Counts pixels of the colour inside and outside a rectangle of the window.
struct ColourCount {
  int inside = 0, outside = 0;
};
ColourCount CountColour(Surface* surface, const Rect& rect, Colour colour) {
  ColourCount count;
  for (int y = rect.top - 10; y < rect.bottom + 10; ++y) {
    for (int x = 0; x < 800; ++x) {
      if (GetPixel(AsHdc(surface), x, y) != colour) continue;
      bool in = x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom;
      ++(in ? count.inside : count.outside);
    }
  }
  return count;
}

TEST_F(Win32WindowTest, FillAndTextInTheStatusScreenSettings) {
  Surface* surface = GetWindowSurface(window);
  ASSERT_NE(surface, nullptr);
  DrawObject* brush = CreateSolidBrushOf(0x00102030);
  const Rect band{20, 200, 780, 240};
  FillWithBrush(surface, &band, brush);
  EXPECT_EQ(GetPixel(AsHdc(surface), 20, 200), 0x00102030u);
  EXPECT_EQ(GetPixel(AsHdc(surface), 779, 239), 0x00102030u);
  EXPECT_EQ(GetPixel(AsHdc(surface), 780, 240), 0u);

  LogicalFont large{};
  large.height = 32;
  large.width = 20;
  large.weight = 400;
  std::u16string face = u"HandelGothic BT";
  face.copy(large.faceName, face.size());
  LogicalFont small = large;
  small.height = 24;
  small.width = 16;
  DrawObject* largeFont = CreateFontFrom(&large);
  DrawObject* smallFont = CreateFontFrom(&small);
  ASSERT_NE(largeFont, nullptr);
  ASSERT_NE(smallFont, nullptr);
  SetSurfaceTextColour(surface, kTextColour);
  SetSurfaceBackgroundMode(surface, kBackgroundTransparent);

  DrawObject* kept = SelectIntoSurface(surface, largeFont);
  Rect measured = band;
  DrawTextInRect(surface, u"Starting ...", -1, &measured, kAlignCenter | kCalculateRect);
  const int largeWidth = measured.right - measured.left;
  EXPECT_EQ(CountColour(surface, band, kTextColour).inside, 0) << "measuring draws nothing";
  EXPECT_EQ(SelectIntoSurface(surface, smallFont), largeFont);
  measured = band;
  DrawTextInRect(surface, u"Starting ...", -1, &measured, kAlignCenter | kCalculateRect);
  EXPECT_GT(largeWidth, measured.right - measured.left);
  EXPECT_GT(measured.right - measured.left, 0);

  // Far too wide for the band: clipped to it.
  Rect drawn = band;
  DrawTextInRect(surface, u"Successfully updated the files. Successfully updated the files.", -1,
                 &drawn, kAlignCenter);
  ColourCount count = CountColour(surface, band, kTextColour);
  EXPECT_GT(count.inside, 0);
  EXPECT_EQ(count.outside, 0);

  SelectIntoSurface(surface, kept);
  EXPECT_EQ(DeleteDrawObject(smallFont), 1);
  EXPECT_EQ(DeleteDrawObject(largeFont), 1);
  EXPECT_EQ(DeleteDrawObject(brush), 1);
  ReleaseWindowSurface(window, surface);
}

TEST(Win32ShellTest, AMissingProgramFailsWithoutDialog) {
  ExecuteRequest request{60, kExecuteNoErrorDialog, nullptr, nullptr,
                         u"\\nimbora-no-such-dir\\Nimbora.exe", u"", nullptr, kShowNormal};
  EXPECT_EQ(StartProgram(&request), 0);
}

}  // namespace
}  // namespace nimbora
