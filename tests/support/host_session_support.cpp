#include "support/host_session_support.h"

#include <gtest/gtest.h>

#include "platform/drawing.h"
#include "platform/host/host_platform.h"

namespace nimbora {

void StartHeadlessSession(const std::string& root, const char* keys, const char* screensDir) {
  std::string log = root + "/draw.log";
  HostOptions options{root.c_str(), false, true, keys, screensDir, log.c_str()};
  char error[200] = "";
  ASSERT_EQ(HostStart(&options, error, sizeof error), 1) << error;
}

Window* OpenTestWindow(WindowProcedure procedure, const char16_t* className) {
  WindowClass windowClass{
      0, procedure, 0, 0, nullptr, nullptr, StockObject(kStockBlackBrush), className};
  EXPECT_NE(RegisterWindowClass(&windowClass), 0);
  WindowParameters parameters{0, className, u"Test", kWindowStyleVisible, 0, 0, 0, 0, nullptr};
  Window* window = CreateWindowFrom(&parameters);
  EXPECT_NE(window, nullptr);
  return window;
}

}  // namespace nimbora
