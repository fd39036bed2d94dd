// nimbora-package preview: one simulated run per language of the Language.ini
// the panel would have after the update, with its screens and drawn texts.
#include "package_preview.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "display/status_screen.h"
#include "platform/device_locations.h"

namespace nimbora {

namespace {

struct LanguageRun {
  std::u16string language;
  std::string directory;  // below the output directory
  RunRecord record;
  std::vector<std::string> screens;
};

// One fresh simulated device per run, so no run sees another's changes.
bool Simulate(const PreviewArguments& arguments, const char* screensDir, const char16_t* language,
              RunRecord* record, std::vector<std::u16string>* sectionsAfter, std::string* error) {
  SimulatedDevice device;
  if (!OpenSimulatedDevice(arguments.device, &device, error)) return false;
  RunOptions options{screensDir, arguments.fontFile, language};
  bool ran = RunUpdaterOn(&device, options, record, error);
  if (ran && sectionsAfter != nullptr) {
    *sectionsAfter = ProfileSections(&device.overlay.fileSystem,
                                     (std::u16string(kApplicationDirectory) + u"Language.ini").c_str());
  }
  CloseSimulatedDevice(&device);
  return ran;
}

std::string SafeName(const std::u16string& language) {
  std::string name = Utf8(language);
  std::replace(name.begin(), name.end(), '/', '_');
  return name.empty() || name == "." || name == ".." ? "_" + name : name;
}

const char* BandName(const std::optional<ScreenBand>& band) {
  if (band == ScreenBand::Message) return "message";
  if (band == ScreenBand::Prompt) return "prompt";
  return band == ScreenBand::Footer ? "footer" : "other";
}

const char* FontName(DrawnFont font) {
  if (font == DrawnFont::Large) return "large";
  return font == DrawnFont::Small ? "small" : "default";
}

void WriteReport(const PreviewArguments& arguments, const std::vector<LanguageRun>& runs) {
  const ScreenFont& font = runs.front().record.font;
  std::ofstream report(std::string(arguments.outDir) + "/report.json");
  report << "{\"font\": {\"requested\": \"" << Utf8(kScreenFaceName) << "\", \"family\": " << Json(Wide(font.family))
         << ", \"file\": " << Json(Wide(font.file)) << ", \"approximate\": " << (font.substitute ? "true" : "false")
         << "},\n \"languages\": [";
  for (size_t r = 0; r < runs.size(); ++r) {
    const LanguageRun& run = runs[r];
    report << (r == 0 ? "" : ",") << "\n  {\"language\": " << Json(run.language) << ", \"screens\": [";
    for (size_t s = 0; s < run.screens.size(); ++s) {
      report << (s == 0 ? "" : ", ") << Json(Wide(run.directory + "/" + run.screens[s]));
    }
    report << "],\n   \"texts\": [";
    for (size_t t = 0; t < run.record.texts.size(); ++t) {
      const DrawnText& text = run.record.texts[t];
      report << (t == 0 ? "" : ",\n     ") << "{\"text\": " << Json(text.text) << ", \"band\": \""
             << BandName(text.band) << "\", \"font\": \"" << FontName(text.font)
             << "\", \"fellBack\": " << (text.font == DrawnFont::Small ? "true" : "false")
             << ", \"cut\": " << (text.cut ? "true" : "false") << "}";
    }
    report << "]}";
  }
  report << "]}\n";
}

std::vector<std::string> ScreensIn(const std::string& directory) {
  std::vector<std::string> screens;
  std::error_code failure;
  for (const auto& entry : std::filesystem::directory_iterator(directory, failure)) {
    screens.push_back(entry.path().filename().string());
  }
  std::sort(screens.begin(), screens.end());
  return screens;
}

}  // namespace

int RunPreview(const PreviewArguments& arguments) {
  std::string error;
  RunRecord first;
  std::vector<std::u16string> languages;
  std::error_code failure;
  std::filesystem::create_directories(arguments.outDir, failure);
  if (failure || !Simulate(arguments, nullptr, nullptr, &first, &languages, &error)) {
    fprintf(stderr, "nimbora-package preview: %s\n",
            failure ? ("cannot create " + std::string(arguments.outDir)).c_str() : error.c_str());
    return kToolUsageStatus;
  }
  // Without a Language.ini the run shows the built-in texts of its language.
  if (languages.empty()) languages.push_back(first.language.name);
  std::vector<LanguageRun> runs;
  for (const std::u16string& language : languages) {
    LanguageRun run{language, SafeName(language), {}, {}};
    std::string directory = std::string(arguments.outDir) + "/" + run.directory;
    std::filesystem::remove_all(directory, failure);
    if (!Simulate(arguments, directory.c_str(), language.c_str(), &run.record, nullptr, &error)) {
      fprintf(stderr, "nimbora-package preview: %s\n", error.c_str());
      return kToolUsageStatus;
    }
    run.screens = ScreensIn(directory);
    printf("%s:", run.directory.c_str());
    for (const std::string& screen : run.screens) printf(" %s/%s", run.directory.c_str(), screen.c_str());
    printf("\n");
    runs.push_back(run);
  }
  WriteReport(arguments, runs);
  printf("%s/report.json\n", arguments.outDir);
  return 0;
}

}  // namespace nimbora
