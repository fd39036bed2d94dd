#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "platform/clock.h"
#include "platform/host/host_platform.h"
#include "platform/shell.h"
#include "support/host_session_fixture.h"

namespace nimbora {
namespace {

using HostWindowTest = HostSessionTest;

constexpr unsigned kControl = 0x11;

TEST_F(HostWindowTest, PostedMessagesComeBeforeKeysAndTheQuitMessageLast) {
  Window* window = OpenWindow();
  HostPressKey('B', false);
  PostQuitWith(7);
  PostToWindow(window, 1234, 5, 6);
  Message message{};
  ASSERT_EQ(GetNextMessage(&message), 1);
  EXPECT_EQ(message.message, 1234u);
  EXPECT_EQ(message.wParam, 5u);
  ASSERT_EQ(GetNextMessage(&message), 1);
  EXPECT_EQ(message.message, kMessageKeyDown);
  EXPECT_EQ(message.wParam, static_cast<uintptr_t>('B'));
  EXPECT_EQ(message.window, window);
  EXPECT_EQ(GetNextMessage(&message), 0);
  EXPECT_EQ(message.message, kMessageQuit);
  EXPECT_EQ(message.wParam, 7u);
}

TEST_F(HostWindowTest, TheCloseRequestDestroysTheWindow) {
  Window* window = OpenWindow();
  EXPECT_EQ(PostToWindow(window, kMessageClose, 0, 0), 1);
  Message message{};
  ASSERT_EQ(GetNextMessage(&message), 1);
  DispatchToWindow(&message);
  ASSERT_GE(received.size(), 2u);
  EXPECT_EQ(received[received.size() - 2].message, kMessageClose);
  EXPECT_EQ(received.back().message, kMessageDestroy);
  EXPECT_EQ(PostToWindow(window, kMessageClose, 0, 0), 0);  // gone
  EXPECT_EQ(GetWindowSurface(window), nullptr);
  EXPECT_EQ(Log().back(), LogEntry::parse(R"({"t":0,"op":"post","message":16})"));
}

TEST_F(HostWindowTest, OnlyOneWindowExistsAtATime) {
  OpenWindow();
  WindowParameters parameters{0, u"TEST", u"Second", kWindowStyleVisible, 0, 0, 0, 0, nullptr};
  EXPECT_EQ(CreateWindowFrom(&parameters), nullptr);
}

TEST_F(HostWindowTest, AShownWindowIsPaintedOnceInItsBackground) {
  Window* window = OpenWindow();
  ASSERT_GE(received.size(), 1u);
  EXPECT_EQ(received[0].message, kMessageCreate);
  PaintWindowNow(window);
  Surface* surface = GetWindowSurface(window);
  DrawObject* white = CreateSolidBrushOf(0x00FFFFFF);
  Rect screen{0, 0, 800, 480};
  FillWithBrush(surface, &screen, white);
  ShowWindowWith(window, kShowNormal);
  PaintWindowNow(window);
  EXPECT_EQ(received.back().message, kMessagePaint);
  EXPECT_EQ(Pixel(400, 240), 0u);  // erased in the class's black
  size_t count = received.size();
  FillWithBrush(surface, &screen, white);
  PaintWindowNow(window);  // nothing left to paint
  EXPECT_EQ(received.size(), count);
  EXPECT_EQ(Pixel(400, 240), 0xFFFFFFu);
  DeleteDrawObject(white);
  ReleaseWindowSurface(window, surface);
}

struct AcceleratorCase {
  const char* name;
  unsigned key;
  bool control;
  int translated;
  unsigned command;
};

class HostAcceleratorTest : public HostSessionTest,
                            public ::testing::WithParamInterface<AcceleratorCase> {};

TEST_P(HostAcceleratorTest, ControlLettersBecomeCommands) {
  Window* window = OpenWindow();
  Accelerators* table = LoadAcceleratorResource(nullptr, 2);
  ASSERT_NE(table, nullptr);
  HostPressKey(GetParam().key, GetParam().control);
  Message message{};
  do {  // the Control key's own key-down comes first and is never translated
    ASSERT_EQ(GetNextMessage(&message), 1);
  } while (message.wParam == kControl && GetParam().key != kControl &&
           OfferToAccelerators(window, table, &message) == 0);
  received.clear();
  EXPECT_EQ(OfferToAccelerators(window, table, &message), GetParam().translated);
  if (GetParam().translated) {
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].message, kMessageCommand);
    EXPECT_EQ(received[0].wParam & 0xFFFF, GetParam().command);
    EXPECT_EQ(Log().back()["op"], "command");
    EXPECT_EQ(Log().back()["id"], GetParam().command);
  } else {
    EXPECT_TRUE(received.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Keys, HostAcceleratorTest,
                         ::testing::Values(AcceleratorCase{"CtrlA", 'A', true, 1, 40002},
                                           AcceleratorCase{"CtrlQ", 'Q', true, 1, 1},
                                           AcceleratorCase{"PlainA", 'A', false, 0, 0},
                                           AcceleratorCase{"CtrlB", 'B', true, 0, 0},
                                           AcceleratorCase{"Control", kControl, true, 0, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(HostWindowTest, KeyDownsReachingTheWindowAreLogged) {
  OpenWindow();
  HostPressKey('Z', false);
  Message message{};
  ASSERT_EQ(GetNextMessage(&message), 1);
  DispatchToWindow(&message);
  EXPECT_EQ(Log().back(), LogEntry::parse(R"({"t":0,"op":"key","vk":90})"));
}

// Each queued key press is made when the program waits for input.
TEST_F(HostWindowTest, QueuedKeysArePressedOneWaitAtATime) {
  Restart("a,5,space,enter,escape,ctrl+q");
  OpenWindow();
  std::vector<std::pair<unsigned, bool>> keys;
  Message message{};
  for (int i = 0; i < 7; ++i) {
    ASSERT_EQ(GetNextMessage(&message), 1);
    keys.emplace_back(static_cast<unsigned>(message.wParam), message.message == kMessageKeyDown);
  }
  std::vector<std::pair<unsigned, bool>> expected{{'A', true},  {'5', true},  {0x20, true},
                                                  {0x0D, true}, {0x1B, true}, {kControl, true},
                                                  {'Q', true}};
  EXPECT_EQ(keys, expected);
}

TEST_F(HostWindowTest, UnknownKeyNamesAreRefused) {
  for (const char* keys : {"f1", "ctrl+5", "ctrl+space", "a,,b", "shift+a"}) {
    HostFinish(0);
    HostOptions options{};
    options.root = root.c_str();
    options.virtualClock = true;
    options.keys = keys;
    char error[200] = "";
    EXPECT_EQ(HostStart(&options, error, sizeof error), 0) << keys;
    EXPECT_NE(std::string(error).find("unknown key"), std::string::npos) << error;
    options.keys = nullptr;
    ASSERT_EQ(HostStart(&options, error, sizeof error), 1);
    EXPECT_EQ(HostStart(&options, error, sizeof error), 0);  // one session at a time
  }
}

// The pump ends the program's loop as a quit would, so it finishes normally.
TEST_F(HostWindowTest, WaitingForAKeyWithNoneLeftQuitsWithStatus3) {
  Restart("x");
  OpenWindow();
  Message message{};
  ASSERT_EQ(GetNextMessage(&message), 1);  // the queued key
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(GetNextMessage(&message), 0);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "waiting for a key press, but no key is left to press (see --keys)\n");
  EXPECT_EQ(message.message, kMessageQuit);
  EXPECT_EQ(message.wParam, 3u);
}

// And before a blanking covers a text drawn since the last screen, which
// would otherwise never be seen (the "Update" text while a package is applied).
TEST_F(HostWindowTest, ScreensAreWrittenAtEveryWaitBeforeATextIsBlankedAndAtTheEnd) {
  std::string screens = HostPath("screens");
  Restart("x", screens.c_str());
  Window* window = OpenWindow();
  Surface* surface = GetWindowSurface(window);
  DrawObject* brush = CreateSolidBrushOf(0);
  Rect band{20, 200, 780, 240};
  FillWithBrush(surface, &band, brush);  // nothing drawn yet: no screen
  DrawTextInRect(surface, u"Update", -1, &band, kAlignCenter);
  FillWithBrush(surface, &band, brush);  // 001.png shows the text
  EXPECT_TRUE(std::filesystem::exists(screens + "/001.png"));
  FillWithBrush(surface, &band, brush);  // covers nothing drawn since: no screen
  DeleteDrawObject(brush);
  ReleaseWindowSurface(window, surface);
  SleepFor(10000);
  Message message{};
  ASSERT_EQ(GetNextMessage(&message), 1);  // waits for a key: the queued one
  DispatchToWindow(&message);
  PostToWindow(window, kMessageClose, 0, 0);
  HostFinish(0);
  for (const char* name : {"001.png", "002.png", "003.png", "004.png"}) {
    std::ifstream in(screens + "/" + name, std::ios::binary);
    std::string header(24, '\0');
    ASSERT_TRUE(in.read(&header[0], 24)) << name;
    EXPECT_EQ(header.substr(1, 3), "PNG");
    EXPECT_EQ(header.substr(16, 8), std::string("\0\0\x03\x20\0\0\x01\xe0", 8));  // 800 x 480
  }
  EXPECT_FALSE(std::filesystem::exists(screens + "/005.png"));
  std::vector<LogEntry> expected{
      {{"t", 0}, {"op", "sleep"}, {"ms", 10000}},
      {{"t", 10000}, {"op", "key"}, {"vk", 88}},
      {{"t", 10000}, {"op", "post"}, {"message", 16}},
      {{"t", 10000}, {"op", "exit"}, {"code", 0}}};
  std::vector<LogEntry> log = ReadDrawLog(HostPath("draw.log"));
  log.erase(std::remove_if(log.begin(), log.end(),
                           [](const LogEntry& entry) { return entry["op"] == "fill" || entry["op"] == "text"; }),
            log.end());
  EXPECT_EQ(log, expected);
}

TEST_F(HostWindowTest, StringAndIconResources) {
  char16_t text[100];
  EXPECT_EQ(LoadStringResource(nullptr, 1, text, 100), 6);
  EXPECT_EQ(std::u16string(text), u"Update");
  EXPECT_EQ(LoadStringResource(nullptr, 2, text, 100), 6);
  EXPECT_EQ(std::u16string(text), u"UPDATE");
  EXPECT_EQ(LoadStringResource(nullptr, 1, text, 4), 3);
  EXPECT_EQ(std::u16string(text), u"Upd");
  EXPECT_EQ(LoadStringResource(nullptr, 3, text, 100), 0);
  EXPECT_EQ(text[0], 0);
  EXPECT_NE(LoadIconResource(nullptr, 101), nullptr);
  EXPECT_EQ(LoadIconResource(nullptr, 102), nullptr);
  EXPECT_EQ(LoadAcceleratorResource(nullptr, 3), nullptr);
}

}  // namespace
}  // namespace nimbora
