#include "support/host_session_fixture.h"

#include <algorithm>
#include <filesystem>

#include "platform/host/host_platform.h"

namespace nimbora {

std::vector<Message> HostSessionTest::received;

namespace {

intptr_t RecordingProcedure(Window* window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  HostSessionTest::received.push_back(Message{window, message, wParam, lParam});
  return DefaultProcessing(window, message, wParam, lParam);
}

}  // namespace

void HostSessionTest::SetUp() {
  DeviceFixture::SetUp();
  received.clear();
  Start(nullptr, nullptr);
}

void HostSessionTest::TearDown() {
  HostFinish(0);
  DeviceFixture::TearDown();
}

void HostSessionTest::Restart(const char* keys, const char* screensDir) {
  HostFinish(0);
  Start(keys, screensDir);
}

void HostSessionTest::Start(const char* keys, const char* screensDir) {
  std::string log = HostPath("draw.log");
  HostOptions options{};
  options.root = root.c_str();
  options.virtualClock = true;
  options.keys = keys;
  options.screensDir = screensDir;
  options.drawLogPath = log.c_str();
  options.fixedFontAdvance = fixedFontAdvance;
  char error[200] = "";
  ASSERT_EQ(HostStart(&options, error, sizeof error), 1) << error;
}

Window* HostSessionTest::OpenWindow() {
  WindowClass windowClass{
      0, RecordingProcedure, 0, 0, nullptr, nullptr, StockObject(kStockBlackBrush), u"TEST"};
  EXPECT_NE(RegisterWindowClass(&windowClass), 0);
  WindowParameters parameters{0, u"TEST", u"Test", kWindowStyleVisible, 0, 0, 0, 0, nullptr};
  Window* window = CreateWindowFrom(&parameters);
  EXPECT_NE(window, nullptr);
  return window;
}

std::vector<LogEntry> HostSessionTest::Log(const std::string& op) const {
  return ReadDrawLog(HostPath("draw.log"), op);
}

std::vector<std::string> HostSessionTest::DrawnTexts() const {
  return nimbora::DrawnTexts(Log("text"));
}

Rect HostSessionTest::LitBounds() const {
  Rect bounds{kScreenWidth, kScreenHeight, 0, 0};
  for (int y = 0; y < kScreenHeight; ++y) {
    for (int x = 0; x < kScreenWidth; ++x) {
      if (Pixel(x, y) == 0) continue;
      bounds = Rect{std::min(bounds.left, x), std::min(bounds.top, y),
                    std::max(bounds.right, x + 1), std::max(bounds.bottom, y + 1)};
    }
  }
  return bounds;
}

uint32_t HostSessionTest::Pixel(int x, int y) const {
  return HostScreenPixels()[y * kScreenWidth + x];
}

void HostSessionTest::WriteMainIni(const std::string& text) const {
  WriteHostFile("ResidentFlash/Nimbora/main.ini", text);
}

void HostSessionTest::WriteLanguageIni(const std::string& bytes) const {
  WriteHostFile("ResidentFlash/Nimbora/Language.ini", bytes);
}

// A program that is done once started, so the scratch root can go at once.
void HostSessionTest::InstallApplication() const {
  MakeHostDirectory("ResidentFlash/Nimbora");
  std::filesystem::copy_file("/bin/true", HostPath("ResidentFlash/Nimbora/Nimbora.exe"));
}

}  // namespace nimbora
