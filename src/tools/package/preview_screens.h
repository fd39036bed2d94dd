// The screens preview shows, per language: what each run of the Updater
// drew, which entry of the screen-text table each text came from, and why a
// built-in text was shown instead of the language's own.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "package_preview.h"
#include "package_tool.h"

namespace nimbora {

// In the order a panel shows them; the outcome is one of Success and Error.
enum class ScreenKind { Update, Success, Error, Launch, OpenFailed };
constexpr ScreenKind kScreenKinds[] = {ScreenKind::Update, ScreenKind::Success, ScreenKind::Error,
                                       ScreenKind::Launch, ScreenKind::OpenFailed};

struct ShownText {
  DrawnText drawn;
  const ScreenText* entry;  // nullptr: the station title, from main.ini
  std::u16string language;  // the section it was looked up in
  std::string defaultCode;  // empty when the language's own text is shown
  std::string defaultWhy;
  TextWidths widths;
};

struct PreviewScreen {
  ScreenKind kind;
  bool otherOutcome;  // the outcome this package's run does not end with
  std::string file;   // below the output directory
  std::vector<ShownText> texts;  // the texts drawn for this screen
};

struct LanguagePreview {
  std::u16string language;
  std::string directory;  // below the output directory
  std::vector<PreviewScreen> screens;
  std::vector<std::string> notes;  // screens that could not be drawn, and why
};

struct Preview {
  bool applied;
  std::string notApplied;  // why, when it is not
  std::optional<ScreenKind> outcome;
  ScreenFont font;
  std::vector<LanguagePreview> languages;
};

// Runs the Updater over the simulated device and writes the screens below
// arguments.outDir; false with a message when a run cannot start.
bool PreviewScreens(const PreviewArguments& arguments, Preview* preview, std::string* error);

const char* KindName(ScreenKind kind);
// "2-error-other-outcome.png", ...
std::string FileNameOf(ScreenKind kind, bool otherOutcome);
int BandWidthOf(const std::optional<ScreenBand>& band);
// The width of the text in the font it was drawn in.
int DrawnWidthOf(const ShownText& text);

}  // namespace nimbora
