// What preview writes besides the screens: report.json and the contact
// sheet index.html, both from the same screens and warnings.
#pragma once

#include <string>
#include <vector>

#include "preview_screens.h"

namespace nimbora {

// What a translator should look at on a screen.
struct ScreenWarning {
  const char* code;  // "text-cut", "small-font", "default-text"
  std::string message;
};
std::vector<ScreenWarning> WarningsOf(const PreviewScreen& screen);

bool WriteReport(const PreviewArguments& arguments, const Preview& preview);
bool WriteContactSheet(const PreviewArguments& arguments, const Preview& preview);

}  // namespace nimbora
