// A host session for backend tests: a scratch directory as device root, the
// virtual clock, a draw log, and one window whose procedure records messages.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/drawing.h"
#include "platform/host/host_platform.h"

namespace nimbora {

class HostSessionTest : public ::testing::Test {
 public:
  static std::vector<Message> received;  // by the test window's procedure

 protected:
  void SetUp() override;
  void TearDown() override;

  // Ends the running session and starts another with these key presses.
  void Restart(const char* keys, const char* screensDir = nullptr);
  Window* OpenWindow();
  std::vector<std::string> LogLines() const;
  // The smallest rectangle holding every pixel that is not black.
  Rect LitBounds() const;
  uint32_t Pixel(int x, int y) const;

  std::string dir;

 private:
  void Start(const char* keys, const char* screensDir);
};

}  // namespace nimbora
