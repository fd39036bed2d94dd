// index.html: every language's screens side by side, one row per language
// and one column per kind of screen, with the warnings under each screen.
// A page with no script and nothing from the net, readable offline.
#include <cctype>
#include <cstdio>
#include <fstream>

#include "preview_output.h"

namespace nimbora {

namespace {

const char kStyle[] =
    "body{font-family:sans-serif;background:#f2f2f2;color:#222;margin:16px}"
    "table{border-collapse:collapse}"
    "th,td{border:1px solid #bbb;padding:6px;vertical-align:top;background:#fff;text-align:left}"
    "img{display:block;width:320px;height:192px;background:#fff}"
    "ul{margin:4px 0 0 0;padding-left:16px;max-width:304px;font-size:12px}"
    "li.text-cut{color:#b00020}li.small-font{color:#7a5a00}li.default-text{color:#00569b}"
    ".other{font-weight:normal;font-style:italic}.none{color:#888;font-size:12px;max-width:320px}";

std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '&') out += "&amp;";
    else if (c == '<') out += "&lt;";
    else if (c == '>') out += "&gt;";
    else if (c == '"') out += "&quot;";
    else out += c;
  }
  return out;
}

// A relative address: every byte but the unreserved ones and "/" escaped.
std::string Address(const std::string& path) {
  std::string out;
  for (unsigned char c : path) {
    if (isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~' || c == '/') {
      out += static_cast<char>(c);
    } else {
      char escaped[4];
      snprintf(escaped, sizeof escaped, "%%%02X", c);
      out += escaped;
    }
  }
  return out;
}

struct Column {
  ScreenKind kind;
  bool otherOutcome;
};

std::vector<Column> ColumnsOf(const Preview& preview) {
  std::vector<Column> columns;
  for (ScreenKind kind : kScreenKinds) {
    bool other = (kind == ScreenKind::Success || kind == ScreenKind::Error) && preview.outcome != kind;
    if (preview.applied || kind == ScreenKind::Launch || kind == ScreenKind::OpenFailed) {
      columns.push_back(Column{kind, other});
    }
  }
  return columns;
}

std::string Cell(const LanguagePreview& language, const Column& column) {
  for (const PreviewScreen& screen : language.screens) {
    if (screen.kind != column.kind) continue;
    std::string cell = "<td><img src=\"" + Address(screen.file) + "\" alt=\"" + Escaped(screen.file) + "\">";
    std::vector<ScreenWarning> warnings = WarningsOf(screen);
    if (!warnings.empty()) cell += "<ul>";
    for (const ScreenWarning& warning : warnings) {
      cell += std::string("<li class=\"") + warning.code + "\">" + Escaped(warning.message) + "</li>";
    }
    return cell + (warnings.empty() ? "" : "</ul>") + "</td>";
  }
  return "<td><p class=\"none\">not drawn: see the notes</p></td>";
}

std::string Heading(const Column& column) {
  std::string name = FileNameOf(column.kind, column.otherOutcome);
  name = name.substr(0, name.size() - 4);  // without ".png"
  return "<th>" + Escaped(name) + (column.otherOutcome ? " <span class=\"other\">(not this run's outcome)</span>" : "") +
         "</th>";
}

}  // namespace

bool WriteContactSheet(const PreviewArguments& arguments, const Preview& preview) {
  std::ofstream out(std::string(arguments.outDir) + "/index.html");
  out << "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>Package preview</title><style>"
      << kStyle << "</style></head><body>\n<h1>Package preview</h1>\n<p>"
      << (preview.applied ? "The panel applies this package"
                          : "The package is not applied: " + Escaped(preview.notApplied))
      << (preview.outcome ? std::string("; the run ends with ") + KindName(*preview.outcome) : std::string())
      << ". Screens drawn with " << Escaped(preview.font.family)
      << (preview.font.substitute ? " standing in for the panel's font: every fit is approximate" : "")
      << ".</p>\n<table>\n<tr><th>Language</th>";
  std::vector<Column> columns = ColumnsOf(preview);
  for (const Column& column : columns) out << Heading(column);
  out << "</tr>\n";
  for (const LanguagePreview& language : preview.languages) {
    out << "<tr><th>" << Escaped(Utf8(language.language));
    for (const std::string& note : language.notes) out << "<p class=\"none\">" << Escaped(note) << "</p>";
    out << "</th>";
    for (const Column& column : columns) out << Cell(language, column);
    out << "</tr>\n";
  }
  out << "</table>\n</body></html>\n";
  return static_cast<bool>(out);
}

}  // namespace nimbora
