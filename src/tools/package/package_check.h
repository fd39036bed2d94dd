// nimbora-package check, and the screen texts it and preview look at.
#pragma once

#include <string>
#include <vector>

#include "package_tool.h"

namespace nimbora {

struct CheckArguments {
  DeviceSetup device;
  const char* fontFile;  // or nullptr
  bool json;
};

// Prints the report; returns 0 (no error finding), 1 (errors) or 2 (unreadable input).
int RunCheck(const CheckArguments& arguments);

// A text of the Language.ini in the application directory, as the current
// file system holds it, and whether it is drawn with the small-font fallback.
struct ScreenText {
  std::u16string language;
  std::u16string key;
  std::u16string text;
  bool fitted;
};
std::vector<ScreenText> ScreenTextsAfterUpdate();

}  // namespace nimbora
