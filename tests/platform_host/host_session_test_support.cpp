#include "platform_host/host_session_test_support.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "support/host_session_support.h"

namespace nimbora {

namespace fs = std::filesystem;

std::vector<Message> HostSessionTest::received;

namespace {

intptr_t RecordingProcedure(Window* window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  HostSessionTest::received.push_back(Message{window, message, wParam, lParam});
  return DefaultProcessing(window, message, wParam, lParam);
}

}  // namespace

void HostSessionTest::SetUp() {
  std::string pattern = (fs::temp_directory_path() / "nimbora-host-XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  dir = pattern;
  received.clear();
  Start(nullptr, nullptr);
}

void HostSessionTest::TearDown() {
  HostFinish(0);
  std::error_code error;
  fs::remove_all(dir, error);
}

void HostSessionTest::Restart(const char* keys, const char* screensDir) {
  HostFinish(0);
  Start(keys, screensDir);
}

void HostSessionTest::Start(const char* keys, const char* screensDir) {
  StartHeadlessSession(dir, keys, screensDir);
}

Window* HostSessionTest::OpenWindow() { return OpenTestWindow(RecordingProcedure, u"TEST"); }

std::vector<std::string> HostSessionTest::LogLines() const {
  std::ifstream in(dir + "/draw.log");
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
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

}  // namespace nimbora
