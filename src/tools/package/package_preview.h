// nimbora-package preview: the screens of the run in every language.
#pragma once

#include "package_tool.h"

namespace nimbora {

struct PreviewArguments {
  DeviceSetup device;
  const char* fontFile;  // or nullptr
  const char* outDir;
  bool json;  // print one JSON object instead of text
};

// Writes the screens and report.json; 0, or 2 for unreadable input.
int RunPreview(const PreviewArguments& arguments);

}  // namespace nimbora
