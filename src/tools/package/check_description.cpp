// check's reading of update.ini: its lines read once and looked up by the
// profile syntax of the logic, and the findings about what the panel reads
// where the author wrote something else; the package summary runs them too.
#include <string>
#include <vector>

#include "base/wide_string.h"
#include "package/package_format.h"
#include "platform/device_locations.h"
#include "profile/profile_reader.h"
#include "profile/profile_syntax.h"
#include "version/version_values.h"
#include "check_context.h"
#include "package_base.h"

namespace nimbora {

void Add(Description* package, Severity severity, const char* code, const std::string& message) {
  package->findings.push_back(Finding{severity, code, message, "", "", 0, ""});
}

void AddAt(Description* package, Severity severity, const char* code, const std::string& message,
           const std::u16string& section, const std::u16string& key, const std::u16string& entry) {
  int line = FindEntry(package->lines, section.c_str(), key.c_str()).line;
  package->findings.push_back(Finding{severity, code, message, Utf8(section), Utf8(key), line, Utf8(entry)});
}

const char* SeverityName(Severity severity) {
  return severity == Severity::Error ? "error" : severity == Severity::Warning ? "warning" : "note";
}

Severity SeverityNamed(const char* name) {
  std::string text = name;
  return text == "error" ? Severity::Error : text == "warning" ? Severity::Warning : Severity::Note;
}

std::vector<DescriptionLine> ReadDescriptionLines(FileSystem* fileSystem, const char16_t* path) {
  std::vector<DescriptionLine> lines;
  int number = 1;
  bool previousClosed = true;
  int header = -1;
  for (std::u16string text : ReadProfileLines(fileSystem, path)) {
    bool closed = !text.empty() && text.back() == u'\n';
    if (closed) text.pop_back();
    if (IsHeader(text.c_str())) header = static_cast<int>(lines.size());
    lines.push_back(DescriptionLine{number, !previousClosed, header, text});
    if (closed) ++number;
    previousClosed = closed || static_cast<int>(text.size()) < kProfileLineCapacity - 1;
  }
  return lines;
}

int SectionHeader(const std::vector<DescriptionLine>& lines, const char16_t* section) {
  for (size_t i = 0; i < lines.size(); ++i) {
    if (IsHeaderOf(lines[i].text.c_str(), section)) return static_cast<int>(i);
  }
  return -1;
}

DescriptionEntry FindEntry(const std::vector<DescriptionLine>& lines, const char16_t* section,
                           const char16_t* key) {
  int header = SectionHeader(lines, section);
  for (size_t i = static_cast<size_t>(header + 1); header >= 0 && i < lines.size(); ++i) {
    const char16_t* line = lines[i].text.c_str();
    if (IsHeader(line)) break;
    const char16_t* value = IsIgnoredLine(line) ? nullptr : EntryValue(line, key);
    if (value != nullptr) return DescriptionEntry{lines[i].number, value};
  }
  return DescriptionEntry{0, u""};
}

namespace {

// The index a line's key names when it is the key the logic forms for that
// index (prefix + "%d"), else 0.
int ListIndexOf(const std::u16string& line, const char16_t* prefix) {
  int length = WideLength(prefix);
  if (IsIgnoredLine(line.c_str()) || WideCompareNoCasePrefix(line.c_str(), prefix, length) != 0) return 0;
  int index = WideToInt(line.c_str() + length);
  char16_t key[32];
  WideFormat(key, 32, u"%s%d", prefix, index);
  return index > 0 && EntryValue(line.c_str(), key) != nullptr ? index : 0;
}

}  // namespace

std::map<int, DescriptionEntry> ListEntries(const std::vector<DescriptionLine>& lines,
                                            const char16_t* section) {
  std::map<int, DescriptionEntry> entries;
  int header = SectionHeader(lines, section);
  for (size_t i = static_cast<size_t>(header + 1); header >= 0 && i < lines.size(); ++i) {
    if (IsHeader(lines[i].text.c_str())) break;
    int index = ListIndexOf(lines[i].text, kEntryPrefix);
    if (index == 0 || entries.count(index) != 0) continue;
    char16_t key[32];
    WideFormat(key, 32, u"%s%d", kEntryPrefix, index);
    entries[index] = DescriptionEntry{lines[i].number, EntryValue(lines[i].text.c_str(), key)};
  }
  return entries;
}

namespace {

bool IsUtf8(const std::string& bytes) {
  std::u16string decoded = Wide(bytes);
  return Utf8(decoded) == bytes;
}

// The numbers a text holds, in order, trailing zeros left out: what an
// author means by a version or a time, whatever the separators.
std::vector<long long> NumbersOf(const std::u16string& text) {
  std::vector<long long> numbers;
  bool inNumber = false;
  for (char16_t c : text) {
    bool digit = c >= u'0' && c <= u'9';
    if (digit && !inNumber) numbers.push_back(0);
    if (digit && numbers.back() < 1000000000) numbers.back() = numbers.back() * 10 + (c - u'0');
    inNumber = digit;
  }
  while (!numbers.empty() && numbers.back() == 0) numbers.pop_back();
  return numbers;
}

std::u16string Trimmed(const std::u16string& text) {
  size_t start = text.find_first_not_of(u" \t");
  if (start == std::u16string::npos) return u"";
  return text.substr(start, text.find_last_not_of(u" \t") - start + 1);
}

}  // namespace

// What the panel reads where an editor shows something else.
void CheckEncoding(Description* package) {
  std::string bytes;
  if (!ReadWholeFile(package->fileSystem, package->path, &bytes)) return;
  bool utf16 = bytes.size() >= 2 && static_cast<unsigned char>(bytes[1]) == 0xFE;
  if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    package->findings.push_back(Finding{
        Severity::Error, "description-encoding",
        "update.ini starts with a UTF-8 byte order mark, which the panel reads as part of the first line", "", "",
        1, ""});
  } else if (!utf16 && bytes.find('\0') != std::string::npos) {
    Add(package, Severity::Error, "description-encoding",
        "update.ini holds zero bytes: UTF-16 without the FF FE mark, or big-endian, reads as garbage");
  } else if (!utf16 && !IsUtf8(bytes)) {
    Add(package, Severity::Warning, "description-encoding",
        "update.ini is not UTF-8: the panel reads its odd bytes as Latin-1 characters");
  }
}

void CheckLongLines(Description* package) {
  int reported = 0;
  for (const DescriptionLine& line : package->lines) {
    if (!line.continued || line.number == reported) continue;
    reported = line.number;
    Finding finding{Severity::Error, "long-line",
                    "line " + std::to_string(line.number) +
                        " of update.ini is longer than 259 characters; the panel reads the rest as a line of its own",
                    "", "", line.number, ""};
    package->findings.push_back(finding);
  }
}

void CheckVersion(Description* package) {
  DescriptionEntry version = FindEntry(package->lines, kMainSection, kVersionKey);
  VersionNumber parsed;
  if (!ParseVersion(version.value.c_str(), &parsed)) {
    AddAt(package, Severity::Error, "version-invalid",
          "\"Version\" is " + (version.value.empty() ? "missing" : "\"" + Utf8(version.value) + "\", not a version") +
              ": the package reads as 0.0.0",
          kMainSection, kVersionKey);
  } else if (NumbersOf(version.value) != NumbersOf(Wide(VersionText(parsed)))) {
    AddAt(package, Severity::Warning, "version-read-differently",
          "\"Version\" = \"" + Utf8(version.value) + "\" is read by the panel as " + VersionText(parsed) +
              " (each part holds 0 to 255, three parts); the panel records " + VersionText(parsed),
          kMainSection, kVersionKey);
  }
}

void CheckTime(Description* package) {
  DescriptionEntry time = FindEntry(package->lines, kMainSection, kUpdateTimeKey);
  UpdateTime parsedTime;
  ParseUpdateTime(time.value.c_str(), &parsedTime);
  if (!time.value.empty() && parsedTime.year == 0) {
    AddAt(package, Severity::Warning, "time-invalid",
          "\"Update Time\" \"" + Utf8(time.value) + "\" is not a valid time and is ignored", kMainSection,
          kUpdateTimeKey);
  } else if (parsedTime.year != 0 && NumbersOf(time.value) != NumbersOf(Wide(TimeText(parsedTime)))) {
    AddAt(package, Severity::Warning, "time-read-differently",
          "\"Update Time\" = \"" + Utf8(time.value) + "\" is recorded as " + TimeText(parsedTime) +
              "; write it as YYYY-MM-DD H:MM:SS",
          kMainSection, kUpdateTimeKey);
  }
}

// Keywords the panel compares whole: a blank beside them makes another value.
void CheckKeywords(Description* package) {
  for (const char16_t* key : {kDeleteKey, kUpdateKey}) {
    std::u16string value = FindEntry(package->lines, kMainSection, key).value;
    if (Same(value, kAllKeyword) || !Same(Trimmed(value), kAllKeyword)) continue;
    AddAt(package, Severity::Warning, "keyword-with-blank",
          "\"" + Utf8(key) + "\" = \"" + Utf8(value) + "\": with the blank it is not \"all\" but a count of 0, so " +
              (Same(key, kDeleteKey) ? "nothing is deleted" : "nothing is copied") + "; write " + Utf8(key) +
              "=all",
          kMainSection, key);
  }
  for (const char16_t* key : {kDeleteDatabaseKey, kDeleteParamKey}) {
    DescriptionEntry flag = FindEntry(package->lines, kMainSection, key);
    if (flag.line == 0 || Same(flag.value, kTrueKeyword) || Same(flag.value, u"false")) continue;
    AddAt(package, Severity::Warning, "flag-reads-off",
          "\"" + Utf8(key) + "\" = \"" + Utf8(flag.value) + "\" is off: only \"" + Utf8(kTrueKeyword) +
              "\" turns it on",
          kMainSection, key);
  }
}

// List entries written where the lists are not read.
void CheckMisplacedListKeys(Description* package) {
  int deletes = SectionHeader(package->lines, kDeleteSection);
  int updates = SectionHeader(package->lines, kUpdateSection);
  for (const DescriptionLine& line : package->lines) {
    bool listed = line.header >= 0 && (line.header == deletes || line.header == updates);
    if (line.continued || listed || IsHeader(line.text.c_str())) continue;
    const char16_t* prefix = nullptr;
    for (const char16_t* candidate : {kEntryPrefix, kUpdateKey, kDeleteKey}) {
      if (ListIndexOf(line.text, candidate) != 0) prefix = candidate;
    }
    if (prefix == nullptr) continue;
    std::u16string key = line.text.substr(0, line.text.find(u'='));
    Finding finding{Severity::Warning, "list-key-misplaced",
                    "\"" + Utf8(line.text) +
                        "\" is never read as a list entry: list entries are file1=..., file2=... in [" +
                        Utf8(kUpdateSection) + "] (copies) or [" + Utf8(kDeleteSection) + "] (deletes)",
                    "", Utf8(key), line.number, ""};
    package->findings.push_back(finding);
  }
}

namespace {

// make's record of the version it made the package from: a comment
// "; base X.Y.Z" in [Main]. Read here until make's own reader is at hand.
int RecordedBase(const std::vector<DescriptionLine>& lines, std::u16string* base) {
  int header = SectionHeader(lines, kMainSection);
  const std::u16string mark = kPackageBasePrefix;
  for (size_t i = static_cast<size_t>(header + 1); header >= 0 && i < lines.size(); ++i) {
    const std::u16string& text = lines[i].text;
    if (IsHeader(text.c_str())) break;
    if (WideCompareNoCasePrefix(text.c_str(), mark.c_str(), static_cast<int>(mark.size())) != 0) continue;
    *base = Trimmed(text.substr(mark.size()));
    return lines[i].number;
  }
  return 0;
}

}  // namespace

void CheckBaseVersion(Check* check) {
  std::u16string text;
  int line = RecordedBase(check->package.lines, &text);
  VersionNumber base;
  if (line == 0 || !ParseVersion(text.c_str(), &base)) return;
  const VersionNumber& installed = check->selection.installedVersion;
  if (CompareVersion(&base, &installed) == 0) return;
  Finding finding{Severity::Warning, "base-differs",
                  "the package was made from version " + VersionText(base) + " but this panel has " +
                      VersionText(installed) +
                      ": files the package leaves alone may not be those it was made for",
                  "", "", line, ""};
  check->package.findings.push_back(finding);
}

void CheckDescription(Description* package) {
  package->lines = ReadDescriptionLines(package->fileSystem, package->path.c_str());
  CheckEncoding(package);
  CheckLongLines(package);
  CheckVersion(package);
  CheckTime(package);
  CheckKeywords(package);
  CheckMisplacedListKeys(package);
  CheckList(package, kDeleteSection);
  CheckList(package, kUpdateSection);
  // With a device, check's run tells what becomes of the copy.
  if (package->device == nullptr) {
    CheckUpdaterListed(package, "on a panel where the running Updater cannot be overwritten, the copy fails and "
                                "the panel shows the failure text");
  }
  CheckHostNames(package);
  CheckNamesDifferingInCase(package);
}

std::vector<Finding> DescriptionFindings(FileSystem* fileSystem, const std::u16string& packageDirectory,
                                         const std::string& hostDirectory) {
  Description package{fileSystem,
                      packageDirectory,
                      hostDirectory,
                      {kCardPackageDirectory, kFlashPackageDirectory},
                      nullptr,
                      packageDirectory + kPackageDescriptionName,
                      {},
                      {}};
  CheckDescription(&package);
  return package.findings;
}

}  // namespace nimbora
