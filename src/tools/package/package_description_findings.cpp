// The description's own findings, read as the panel reads update.ini: the
// values and lists through the logic's reader, the lines as its line reader
// cuts them.
#include "package_description_findings.h"

#include <unordered_map>

#include "base/wide_string.h"
#include "package/listed_indexes.h"
#include "package/package_format.h"
#include "package/path_join.h"
#include "platform/device_locations.h"
#include "profile/profile_reader.h"
#include "profile/profile_syntax.h"
#include "version/version_values.h"
#include "package_tool.h"

namespace nimbora {

namespace {

// The file system installed while the logic reads the description.
class Installed {
 public:
  explicit Installed(FileSystem* fileSystem) : previous(CurrentFileSystem()) { UseFileSystem(fileSystem); }
  ~Installed() { UseFileSystem(previous); }
  Installed(const Installed&) = delete;
  Installed& operator=(const Installed&) = delete;

 private:
  FileSystem* previous;
};

std::u16string DescriptionPath(const std::u16string& packageDirectory) {
  return packageDirectory + kPackageDescriptionName;
}

std::u16string MainValue(const std::u16string& description, const char16_t* key, const char16_t* defaultText) {
  char16_t value[kPathCapacity];
  ReadProfileString(kMainSection, key, defaultText, value, kMainValueCapacity, description.c_str());
  return value;
}

bool Same(const std::u16string& a, const std::u16string& b) {
  return WideCompareNoCase(a.c_str(), b.c_str()) == 0;
}

std::u16string Folded(std::u16string text) {
  for (char16_t& c : text) c = FoldCase(c);
  return text;
}

// The lines of update.ini as the panel's line reader delivers them, each
// with the number of the line of the file it starts or continues.
struct NumberedLine {
  std::u16string text;  // LF removed
  int number;
  bool continues;  // the rest of a line longer than the reader takes
};

std::vector<NumberedLine> NumberedLines(FileSystem* fileSystem, const std::u16string& description) {
  std::vector<NumberedLine> lines;
  int number = 1;
  bool previousClosed = true;
  for (std::u16string line : ReadProfileLines(fileSystem, description.c_str())) {
    bool closed = !line.empty() && line.back() == u'\n';
    if (closed) line.pop_back();
    lines.push_back(NumberedLine{line, number, !previousClosed});
    if (closed) ++number;
    previousClosed = closed || static_cast<int>(line.size()) < kProfileLineCapacity - 1;
  }
  return lines;
}

// Where each key of a section is first written, by its folded name.
std::unordered_map<std::u16string, int> KeyLines(const std::vector<NumberedLine>& lines, const char16_t* section) {
  std::unordered_map<std::u16string, int> keys;
  bool inSection = false;
  for (const NumberedLine& line : lines) {
    if (line.continues) continue;
    const char16_t* text = line.text.c_str();
    if (IsHeader(text)) inSection = IsHeaderOf(text, section);
    size_t equals = line.text.find(u'=');
    if (!inSection || IsHeader(text) || IsIgnoredLine(text) || equals == std::u16string::npos) continue;
    std::u16string key = line.text.substr(0, equals);
    if (EntryValue(text, key.c_str()) != nullptr) keys.emplace(Folded(key), line.number);
  }
  return keys;
}

std::string KeyName(const char16_t* section, const std::u16string& key) { return Utf8(section) + "/" + Utf8(key); }

std::u16string EntryKey(int index) { return kEntryPrefix + Wide(std::to_string(index)); }

int LineOf(const std::unordered_map<std::u16string, int>& keys, const std::u16string& key) {
  auto found = keys.find(Folded(key));
  return found == keys.end() ? 0 : found->second;
}

// "..", a drive or an absolute path: the joined path leaves the directory.
bool HasEscape(const std::u16string& entry) {
  if (entry.empty() || IsPathSeparator(entry[0]) || entry.find(u':') != std::u16string::npos) {
    return true;
  }
  for (size_t at = entry.find(u".."); at != std::u16string::npos; at = entry.find(u"..", at + 1)) {
    bool starts = at == 0 || IsPathSeparator(entry[at - 1]);
    bool ends = at + 2 == entry.size() || IsPathSeparator(entry[at + 2]);
    if (starts && ends) return true;
  }
  return false;
}

bool Fits(const std::u16string& entry, const char16_t* directory) {
  char16_t joined[kPathCapacity];
  return JoinPath(joined, directory, entry.c_str()) != 0;
}

// Whether the entry fits its line and every directory it is joined to on
// a panel, wherever the package is placed.
bool FitsEverywhere(int index, const std::u16string& entry) {
  size_t line = EntryKey(index).size() + 1 + entry.size();
  return static_cast<int>(line) < kProfileLineCapacity - 1 && Fits(entry, kApplicationDirectory) &&
         Fits(entry, kCardPackageDirectory) && Fits(entry, kFlashPackageDirectory);
}

// Whether something of that name stands at path (a final separator aside):
// as a name, and as a file or directory reached through the path's rules,
// which a search for the name alone does not apply to its last part.
bool Exists(FileSystem* fileSystem, std::u16string path) {
  while (!path.empty() && IsPathSeparator(path.back())) path.pop_back();
  DirectoryEntry entry;
  for (const std::u16string& pattern : {path, path + u"\\*.*"}) {
    Search* search = fileSystem->findFirst(fileSystem, pattern.c_str(), &entry);
    if (search != nullptr) fileSystem->findClose(fileSystem, search);
    if (search != nullptr) return true;
  }
  Stream* stream = fileSystem->open(fileSystem, path.c_str(), u"r");
  if (stream != nullptr) fileSystem->close(fileSystem, stream);
  return stream != nullptr;
}

void EntryFindings(FileSystem* fileSystem, const std::u16string& packageDirectory, const char16_t* section,
                   const ListedEntry& listed, int line, std::vector<DescriptionFinding>* findings) {
  std::u16string key = EntryKey(listed.index);
  std::string name = Utf8(section) + " " + Utf8(key) + "=" + Utf8(listed.entry);
  bool updating = Same(section, kUpdateSection);
  auto add = [&](const char* severity, const char* code, const std::string& message) {
    findings->push_back(DescriptionFinding{severity, code, name + ": " + message, KeyName(section, key), line,
                                           Utf8(listed.entry)});
  };
  if (HasEscape(listed.entry)) {
    add("error", "entry-outside", "reaches outside the application directory (\"..\", a drive or an absolute path)");
  } else if (!FitsEverywhere(listed.index, listed.entry)) {
    add("error", "entry-too-long", "the line or the joined path does not fit; it is skipped");
  } else if (updating && !Exists(fileSystem, packageDirectory + listed.entry)) {
    add("warning", "entry-names-nothing", "names nothing in the package");
  }
  if (updating && Same(listed.entry, kUpdaterName)) {
    add("warning", "update-exe-listed", "the running Updater cannot be replaced; the failed copy fails the update");
  }
}

// The first index missing below the count, or 0 when none is.
int FirstMissing(const ListInstruction& list) {
  for (size_t i = 0; i < list.entries.size(); ++i) {
    if (list.entries[i].index != static_cast<int>(i) + 1) return static_cast<int>(i) + 1;
  }
  int last = list.entries.empty() ? 0 : list.entries.back().index;
  return last < list.count ? last + 1 : 0;
}

void GapFindings(const ListInstruction& list, const char16_t* section, std::vector<DescriptionFinding>* findings) {
  int missing = FirstMissing(list);
  if (missing == 0) return;
  std::u16string missingKey = EntryKey(missing);
  std::string head = Utf8(section) + "=" + Utf8(list.value) + " but " + Utf8(missingKey) + " is missing";
  auto add = [&](const char* severity, const char* code, const std::string& message) {
    findings->push_back(DescriptionFinding{severity, code, head + message, KeyName(section, missingKey), 0, ""});
  };
  if (Same(section, kUpdateSection)) return add("error", "list-stops-early", ": the copy counts as failed");
  std::string unreached;
  for (const ListedEntry& listed : list.entries) {
    if (listed.index > missing) unreached += (unreached.empty() ? "" : ", ") + Utf8(EntryKey(listed.index));
  }
  if (unreached.empty()) return add("note", "count-beyond-entries", ": the list ends there");
  add("error", "list-stops-early", ": the list stops there, " + unreached + " never reached");
}

bool IsUtf8(const std::string& bytes) { return Utf8(Wide(bytes)) == bytes; }

}  // namespace

ListInstruction ReadListInstruction(FileSystem* fileSystem, const std::u16string& packageDirectory,
                                    const char16_t* section) {
  Installed installed(fileSystem);
  std::u16string description = DescriptionPath(packageDirectory);
  ListInstruction list{MainValue(description, section, u"0"), false, 0, {}};
  list.all = Same(list.value, kAllKeyword);
  list.count = list.all ? 0 : WideToInt(list.value.c_str());
  const char16_t* path = description.c_str();
  for (int index = NextListedIndex(kEntryPrefix, 0, path); index != 0 && index <= list.count;
       index = NextListedIndex(kEntryPrefix, index, path)) {
    char16_t entry[kPathCapacity];
    if (ReadProfileString(section, EntryKey(index).c_str(), u"", entry, kPathCapacity, path) > 0) {
      list.entries.push_back(ListedEntry{index, entry});
    }
  }
  return list;
}

std::vector<DescriptionFinding> EncodingFindings(FileSystem* fileSystem, const std::u16string& packageDirectory) {
  std::vector<DescriptionFinding> findings;
  std::u16string description = DescriptionPath(packageDirectory);
  std::string bytes;
  if (!ReadWholeFile(fileSystem, description, &bytes)) return findings;
  auto add = [&](const char* severity, const char* code, const std::string& message, int line) {
    findings.push_back(DescriptionFinding{severity, code, message, "", line, ""});
  };
  bool utf16 = bytes.size() >= 2 && static_cast<unsigned char>(bytes[1]) == 0xFE;
  if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    add("error", "description-encoding",
        "update.ini starts with a UTF-8 byte order mark, which the panel reads as part of the first line", 1);
  } else if (!utf16 && bytes.find('\0') != std::string::npos) {
    add("error", "description-encoding",
        "update.ini holds zero bytes: UTF-16 without the FF FE mark, or big-endian, reads as garbage", 0);
  } else if (!utf16 && !IsUtf8(bytes)) {
    add("warning", "description-encoding", "update.ini is not UTF-8: the panel reads its odd bytes as Latin-1 characters", 0);
  }
  int reported = 0;
  for (const NumberedLine& line : NumberedLines(fileSystem, description)) {
    if (!line.continues || line.number == reported) continue;
    reported = line.number;
    add("error", "long-line",
        "line " + std::to_string(line.number) +
            " of update.ini is longer than 259 characters; the panel reads the rest as a line of its own",
        line.number);
  }
  return findings;
}

std::vector<DescriptionFinding> ValueFindings(FileSystem* fileSystem, const std::u16string& packageDirectory) {
  Installed installed(fileSystem);
  std::vector<DescriptionFinding> findings;
  std::u16string description = DescriptionPath(packageDirectory);
  std::unordered_map<std::u16string, int> keys = KeyLines(NumberedLines(fileSystem, description), kMainSection);
  std::u16string versionText = MainValue(description, kVersionKey, u"");
  VersionNumber version;
  if (!ParseVersion(versionText.c_str(), &version)) {
    findings.push_back(DescriptionFinding{
        "error", "version-invalid",
        "\"Version\" is " + (versionText.empty() ? "missing" : "\"" + Utf8(versionText) + "\", not a version") +
            ": the package reads as 0.0.0",
        KeyName(kMainSection, kVersionKey), LineOf(keys, kVersionKey), ""});
  }
  std::u16string timeText = MainValue(description, kUpdateTimeKey, u"");
  UpdateTime time;
  ParseUpdateTime(timeText.c_str(), &time);
  if (!timeText.empty() && time.year == 0) {
    findings.push_back(DescriptionFinding{
        "warning", "time-invalid", "\"Update Time\" \"" + Utf8(timeText) + "\" is not a valid time and is ignored",
        KeyName(kMainSection, kUpdateTimeKey), LineOf(keys, kUpdateTimeKey), ""});
  }
  return findings;
}

std::vector<DescriptionFinding> ListFindings(FileSystem* fileSystem, const std::u16string& packageDirectory,
                                             const char16_t* section) {
  std::vector<DescriptionFinding> findings;
  ListInstruction list = ReadListInstruction(fileSystem, packageDirectory, section);
  if (list.all || list.count <= 0) return findings;
  std::unordered_map<std::u16string, int> keys =
      KeyLines(NumberedLines(fileSystem, DescriptionPath(packageDirectory)), section);
  for (const ListedEntry& listed : list.entries) {
    EntryFindings(fileSystem, packageDirectory, section, listed, LineOf(keys, EntryKey(listed.index)), &findings);
  }
  GapFindings(list, section, &findings);
  return findings;
}

std::vector<DescriptionFinding> DescriptionFindings(FileSystem* fileSystem, const std::u16string& packageDirectory) {
  std::vector<DescriptionFinding> findings = EncodingFindings(fileSystem, packageDirectory);
  for (auto more : {ValueFindings(fileSystem, packageDirectory), ListFindings(fileSystem, packageDirectory, kDeleteSection),
                    ListFindings(fileSystem, packageDirectory, kUpdateSection)}) {
    findings.insert(findings.end(), more.begin(), more.end());
  }
  return findings;
}

}  // namespace nimbora
