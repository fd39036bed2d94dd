// report.json: whether the package is applied, then per language its
// screens and every text on them, with the fields README describes.
#include <fstream>

#include <nlohmann/json.hpp>

#include "preview_output.h"

namespace nimbora {

namespace {

using JsonValue = nlohmann::ordered_json;

const char* BandName(const std::optional<ScreenBand>& band) {
  if (band == ScreenBand::Message) return "message";
  if (band == ScreenBand::Prompt) return "prompt";
  return band == ScreenBand::Footer ? "footer" : "other";
}

const char* FontName(DrawnFont font) {
  if (font == DrawnFont::Large) return "large";
  return font == DrawnFont::Small ? "small" : "default";
}

JsonValue SizeOf(DrawnFont font) {
  if (font == DrawnFont::Default) return nullptr;
  FontSize size = font == DrawnFont::Large ? kLargeFont : kSmallFont;
  return JsonValue{{"height", size.height}, {"width", size.width}};
}

std::string Quoted(const ShownText& text) { return "\"" + Utf8(text.drawn.text) + "\""; }

JsonValue TextOf(const PreviewScreen& screen, const ShownText& text) {
  JsonValue shown;
  shown["screen"] = screen.file;
  shown["key"] = text.entry == nullptr ? JsonValue(nullptr) : JsonValue(Utf8(text.entry->key));
  shown["text"] = Utf8(text.drawn.text);
  shown["language"] = Utf8(text.language);
  shown["band"] = BandName(text.drawn.band);
  shown["bandWidth"] = BandWidthOf(text.drawn.band);
  shown["textWidth"] = DrawnWidthOf(text);
  shown["font"] = FontName(text.drawn.font);
  shown["face"] = text.drawn.font == DrawnFont::Default ? "default" : Utf8(kScreenFaceName);
  shown["size"] = SizeOf(text.drawn.font);
  shown["fellBack"] = text.drawn.font == DrawnFont::Small;
  shown["cut"] = text.drawn.cut;
  shown["defaultShown"] = text.defaultCode.empty()
                              ? JsonValue(nullptr)
                              : JsonValue{{"reason", text.defaultCode}, {"message", text.defaultWhy}};
  return shown;
}

JsonValue LanguageOf(const LanguagePreview& language) {
  JsonValue entry{{"language", Utf8(language.language)}, {"directory", language.directory}};
  JsonValue screens = JsonValue::array(), kinds = JsonValue::array(), texts = JsonValue::array(), warnings = JsonValue::array();
  for (const PreviewScreen& screen : language.screens) {
    screens.push_back(screen.file);
    kinds.push_back(JsonValue{{"file", screen.file}, {"kind", KindName(screen.kind)}, {"otherOutcome", screen.otherOutcome}});
    for (const ShownText& text : screen.texts) texts.push_back(TextOf(screen, text));
    for (const ScreenWarning& warning : WarningsOf(screen)) {
      warnings.push_back(JsonValue{{"screen", screen.file}, {"code", warning.code}, {"message", warning.message}});
    }
  }
  entry["screens"] = screens;
  entry["screenKinds"] = kinds;
  entry["texts"] = texts;
  entry["warnings"] = warnings;
  entry["notes"] = language.notes;
  return entry;
}

}  // namespace

std::vector<ScreenWarning> WarningsOf(const PreviewScreen& screen) {
  std::vector<ScreenWarning> warnings;
  for (const ShownText& text : screen.texts) {
    std::string widths = " (" + std::to_string(DrawnWidthOf(text)) + " px in a band of " +
                         std::to_string(BandWidthOf(text.drawn.band)) + " px)";
    if (text.drawn.cut) warnings.push_back({"text-cut", Quoted(text) + " is cut at the band's edges" + widths});
    if (text.drawn.font == DrawnFont::Small) {
      warnings.push_back({"small-font", Quoted(text) + " is too wide for the large font and drawn in the small one" +
                                            widths});
    }
    if (!text.defaultCode.empty()) {
      warnings.push_back({"default-text", Quoted(text) + " is the built-in English text: " + text.defaultWhy});
    }
  }
  return warnings;
}

bool WriteReport(const PreviewArguments& arguments, const Preview& preview) {
  JsonValue report;
  report["applied"] = preview.applied;
  if (!preview.applied) report["notApplied"] = preview.notApplied;
  report["outcome"] = preview.outcome ? JsonValue(KindName(*preview.outcome)) : JsonValue(nullptr);
  report["font"] = JsonValue{{"requested", Utf8(kScreenFaceName)},
                        {"family", preview.font.family},
                        {"file", preview.font.file},
                        {"approximate", preview.font.substitute}};
  report["languages"] = JsonValue::array();
  for (const LanguagePreview& language : preview.languages) report["languages"].push_back(LanguageOf(language));
  std::ofstream out(std::string(arguments.outDir) + "/report.json");
  out << report.dump(1, ' ', false, JsonValue::error_handler_t::replace) << "\n";
  return static_cast<bool>(out);
}

}  // namespace nimbora
