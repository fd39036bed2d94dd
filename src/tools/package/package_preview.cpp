// nimbora-package preview: every screen a panel shows with the package, in
// every language of the Language.ini it would have after the update, with
// report.json and a contact sheet (index.html).
#include "package_preview.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "preview_output.h"
#include "preview_screens.h"

namespace nimbora {

namespace {

void PrintFiles(const PreviewArguments& arguments, const Preview& preview) {
  for (const LanguagePreview& language : preview.languages) {
    printf("%s:", language.directory.c_str());
    for (const PreviewScreen& screen : language.screens) printf(" %s", screen.file.c_str());
    printf("\n");
  }
  printf("%s/report.json\n%s/index.html\n", arguments.outDir, arguments.outDir);
}

// The report as written, so stdout and report.json never disagree.
void PrintReport(const PreviewArguments& arguments) {
  std::ifstream report(std::string(arguments.outDir) + "/report.json", std::ios::binary);
  std::cout << report.rdbuf();
}

}  // namespace

int RunPreview(const PreviewArguments& arguments) {
  std::error_code failure;
  std::filesystem::create_directories(arguments.outDir, failure);
  if (failure) {
    fprintf(stderr, "nimbora-package preview: cannot create %s\n", arguments.outDir);
    return kToolUsageStatus;
  }
  Preview preview{};
  std::string error;
  if (!PreviewScreens(arguments, &preview, &error)) {
    fprintf(stderr, "nimbora-package preview: %s\n", error.c_str());
    return kToolUsageStatus;
  }
  if (!preview.applied) fprintf(stderr, "nimbora-package preview: not applied: %s\n", preview.notApplied.c_str());
  if (!WriteReport(arguments, preview) || !WriteContactSheet(arguments, preview)) {
    fprintf(stderr, "nimbora-package preview: cannot write into %s\n", arguments.outDir);
    return kToolUsageStatus;
  }
  if (arguments.json) {
    PrintReport(arguments);
  } else {
    PrintFiles(arguments, preview);
  }
  return 0;
}

}  // namespace nimbora
