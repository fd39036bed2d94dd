// A device tree in a scratch directory with a headless host session over it
// (virtual clock, draw log at root/draw.log, drawing with a fixed advance
// unless a test asks for real fonts), and one window whose procedure records
// what it receives.
#pragma once

#include <string>
#include <vector>

#include "platform/drawing.h"
#include "support/device_fixture.h"
#include "support/draw_log.h"

namespace nimbora {

// Pixels per character while fixedFontAdvance is left as it is.
constexpr int kTestFontAdvance = 10;

class HostSessionTest : public DeviceFixture {
 public:
  static std::vector<Message> received;  // by the test window's procedure

 protected:
  void SetUp() override;
  void TearDown() override;

  // Ends the running session and starts another with these key presses.
  void Restart(const char* keys, const char* screensDir = nullptr);
  // Registers the test class and opens its window (default processing).
  Window* OpenWindow();
  std::vector<LogEntry> Log(const std::string& op = "") const;
  std::vector<std::string> DrawnTexts() const;  // as the draw log module forms them
  // The smallest rectangle holding every pixel that is not black.
  Rect LitBounds() const;
  uint32_t Pixel(int x, int y) const;

  void WriteMainIni(const std::string& text) const;
  void WriteLanguageIni(const std::string& bytes) const;
  void InstallApplication() const;  // a Nimbora.exe that can be started

  int fixedFontAdvance = kTestFontAdvance;  // 0 for real fonts; set before SetUp

 private:
  void Start(const char* keys, const char* screensDir);
};

}  // namespace nimbora
