// nimbora-package check, and the screen texts it looks at.
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

// A text of the Language.ini in the application directory of the installed
// device, drawn with the screen's fonts.
struct LanguageText {
  std::u16string language;
  const ScreenText* screenText;
  std::u16string text;
};
std::vector<LanguageText> ScreenTextsAfterUpdate(FileSystem* device);

}  // namespace nimbora
