// nimbora-package check: the whole run simulated over the device tree with
// the package placed virtually, its plan, its outcome and the findings.
#include "package_check.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "base/wide_string.h"
#include "control/package_selection.h"
#include "display/status_screen.h"
#include "package/listed_indexes.h"
#include "package/package_checksums.h"
#include "package/package_format.h"
#include "package/path_join.h"
#include "platform/device_locations.h"
#include "profile/profile_reader.h"
#include "version/version_values.h"
#include "package_checksum_list.h"

namespace nimbora {

namespace {

constexpr int kValueCapacity = 256;

struct Finding {
  const char* severity;
  const char* code;
  std::string message;
};

struct Copy {
  std::u16string from;
  std::u16string to;
  bool replaces;
};

struct Check {
  const CheckArguments* arguments;
  FileSystem* device;  // installed, so the logic's lookups read it too
  std::u16string packageDirectory;
  std::u16string description;
  PackageSelection selection;
  bool applicable;  // this package, examined on its own
  VersionNumber packageVersion;
  UpdateTime packageTime;
  std::string reason;
  std::vector<std::u16string> packageFiles;
  RunRecord run;
  std::u16string outcome;
  std::vector<std::u16string> deletes;
  std::vector<Copy> copies;
  std::vector<std::u16string> createdDirectories;
  std::vector<std::u16string> removedDirectories;
  long long bytes;
  std::vector<Finding> findings;
};

void Add(Check* check, const char* severity, const char* code, const std::string& message) {
  check->findings.push_back(Finding{severity, code, message});
}

std::u16string MainValue(const Check& check, const char16_t* key, const char16_t* defaultText) {
  char16_t value[kPathCapacity];
  ReadProfileString(kMainSection, key, defaultText, value, kValueCapacity, check.description.c_str());
  return value;
}

bool Same(const std::u16string& a, const std::u16string& b) {
  return WideCompareNoCase(a.c_str(), b.c_str()) == 0;
}

std::string VersionText(const VersionNumber& version) {
  char16_t text[20];
  FormatVersion(&version, text, 20);
  return Utf8(text);
}

std::string TimeText(const UpdateTime& time) {
  char16_t text[kValueCapacity];
  FormatUpdateTime(&time, text, kValueCapacity);
  return Utf8(text);
}

std::string TimeJson(const UpdateTime& time) {
  return time.year == 0 ? "null" : Json(Wide(TimeText(time)));
}

// Whether something of that name stands at path (a final separator aside).
bool Exists(FileSystem* fileSystem, std::u16string path) {
  while (!path.empty() && IsPathSeparator(path.back())) path.pop_back();
  if (path.empty()) return true;
  DirectoryEntry entry;
  Search* search = fileSystem->findFirst(fileSystem, path.c_str(), &entry);
  if (search != nullptr) fileSystem->findClose(fileSystem, search);
  return search != nullptr;
}

// A host name that is no device name is a file the panel never has.
void CheckHostNames(Check* check) {
  std::error_code error;
  std::filesystem::recursive_directory_iterator entry(check->arguments->device.packageDir, error), end;
  for (; !error && entry != end; entry.increment(error)) {
    if (IsDeviceName(entry->path().filename().c_str())) continue;
    Add(check, "error", "name-not-on-device",
        entry->path().string() + ": a name with a backslash cannot be on the panel; the run never sees it");
    entry.disable_recursion_pending();
  }
}

// Why the package is, or is not, the one the run applies.
void ExplainSelection(Check* check) {
  const PackageSelection& s = check->selection;
  std::string installed = VersionText(s.installedVersion);
  std::string package = VersionText(check->packageVersion);
  PackageOrder order =
      OrderOfPackage(&check->packageVersion, &check->packageTime, &s.installedVersion, &s.installedTime);
  bool ours = s.packageDirectory != nullptr && Same(s.packageDirectory, check->packageDirectory);
  if (s.packageDirectory != nullptr && !ours) {
    check->reason = "the package already at " + Utf8(s.packageDirectory) + " is selected instead";
    Add(check, "error", "other-package-first", check->reason);
  } else if (order == PackageOrder::NewerVersion || order == PackageOrder::OlderVersion) {
    check->reason = "package version " + package +
                    (order == PackageOrder::NewerVersion ? " is newer than" : " is older than") +
                    " the installed " + installed;
  } else if (order == PackageOrder::SameVersionNotLater) {
    check->reason = "same version " + package + " and an update time that is not later";
  } else {
    check->reason = "same version " + package + " with a later update time" +
                    (check->applicable ? " and instructions" : " but no Delete or Update instructions");
  }
  if (!check->applicable) Add(check, "error", "version-not-newer", check->reason + ": never applied");
}

void CheckValues(Check* check) {
  VersionNumber version;
  std::u16string versionText = MainValue(*check, kVersionKey, u"");
  if (!ParseVersion(versionText.c_str(), &version)) {
    Add(check, "error", "version-invalid",
        "\"Version\" is " + (versionText.empty() ? "missing" : "\"" + Utf8(versionText) + "\", not a version") +
            ": the package reads as 0.0.0");
  }
  std::u16string timeText = MainValue(*check, kUpdateTimeKey, u"");
  UpdateTime time;
  ParseUpdateTime(timeText.c_str(), &time);
  if (!timeText.empty() && time.year == 0) {
    Add(check, "warning", "time-invalid",
        "\"Update Time\" \"" + Utf8(timeText) + "\" is not a valid time and is ignored");
  }
}

bool HasEscape(const std::u16string& entry) {
  if (entry.empty() || IsPathSeparator(entry[0]) || entry.find(u':') != std::u16string::npos) {
    return true;
  }
  size_t at = entry.find(u"..");
  while (at != std::u16string::npos) {
    bool starts = at == 0 || IsPathSeparator(entry[at - 1]);
    bool ends = at + 2 == entry.size() || IsPathSeparator(entry[at + 2]);
    if (starts && ends) return true;
    at = entry.find(u"..", at + 1);
  }
  return false;
}

bool Fits(const std::u16string& entry, const std::u16string& directory) {
  char16_t joined[kPathCapacity];
  return JoinPath(joined, directory.c_str(), entry.c_str()) != 0;
}

void CheckEntry(Check* check, const char16_t* section, int index, const std::u16string& entry) {
  std::string name = Utf8(section) + " file" + std::to_string(index) + "=" + Utf8(entry);
  bool deleting = Same(section, kDeleteSection);
  const std::u16string& base = deleting ? std::u16string(kApplicationDirectory) : check->packageDirectory;
  if (HasEscape(entry)) {
    Add(check, "error", "entry-outside",
        name + ": reaches outside the application directory (\"..\", a drive or an absolute path)");
  } else if (!Fits(entry, kApplicationDirectory) || !Fits(entry, check->packageDirectory) ||
             static_cast<int>((Utf8(kEntryPrefix) + std::to_string(index) + "=").size() + entry.size()) >= kProfileLineCapacity - 1) {
    Add(check, "error", "entry-too-long", name + ": the line or the joined path does not fit; it is skipped");
  } else if (!Exists(check->device, base + entry)) {
    Add(check, "warning", "entry-names-nothing",
        name + ": names nothing in the " + (deleting ? "application directory" : "package"));
  }
  if (!deleting && Same(entry, kUpdaterName)) {
    Add(check, "warning", "update-exe-listed",
        name + ": the running Updater cannot be replaced; the failed copy fails the update");
  }
}

std::string IndexList(const std::vector<int>& indexes) {
  std::string text;
  for (int index : indexes) text += (text.empty() ? "" : ", ") + Utf8(kEntryPrefix) + std::to_string(index);
  return text;
}

// The list's entries by the logic's own lookup, and whether a count runs past them.
void CheckList(Check* check, const char16_t* key) {
  std::u16string value = MainValue(*check, key, u"0");
  int count = WideToInt(value.c_str());
  if (Same(value, kAllKeyword) || count <= 0) return;
  std::vector<int> present;
  int firstMissing = 0;
  const char16_t* description = check->description.c_str();
  for (int index = NextListedIndex(kEntryPrefix, 0, description); index != 0 && index <= count;
       index = NextListedIndex(kEntryPrefix, index, description)) {
    char16_t name[32];
    char16_t entry[kPathCapacity];
    WideFormat(name, 32, u"%s%d", kEntryPrefix, index);
    if (ReadProfileString(key, name, u"", entry, kPathCapacity, description) == 0) continue;
    int expected = present.empty() ? 1 : present.back() + 1;
    if (firstMissing == 0 && index != expected) firstMissing = expected;
    present.push_back(index);
    CheckEntry(check, key, index, entry);
  }
  if (firstMissing == 0 && (present.empty() ? 0 : present.back()) < count) {
    firstMissing = present.empty() ? 1 : present.back() + 1;
  }
  if (firstMissing == 0) return;
  std::string head = Utf8(key) + "=" + Utf8(value) + " but " + Utf8(kEntryPrefix) + std::to_string(firstMissing) + " is missing";
  if (Same(key, kUpdateSection)) {
    Add(check, "error", "list-stops-early", head + ": the copy counts as failed");
    return;
  }
  std::vector<int> unreached;
  for (int index : present) {
    if (index > firstMissing) unreached.push_back(index);
  }
  if (!unreached.empty()) {
    Add(check, "error", "list-stops-early", head + ": the list stops there, " + IndexList(unreached) + " never reached");
  } else {
    Add(check, "note", "count-beyond-entries", head + ": the list ends there");
  }
}

bool IsUtf8(const std::string& bytes) {
  std::u16string decoded = Wide(bytes);
  return Utf8(decoded) == bytes;
}

// What the panel reads where an editor shows something else.
void CheckEncodingAndLines(Check* check) {
  std::string bytes;
  if (!ReadWholeFile(check->device, check->description, &bytes)) return;
  bool utf16 = bytes.size() >= 2 && static_cast<unsigned char>(bytes[1]) == 0xFE;
  if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    Add(check, "error", "description-encoding",
        "update.ini starts with a UTF-8 byte order mark, which the panel reads as part of the first line");
  } else if (!utf16 && bytes.find('\0') != std::string::npos) {
    Add(check, "error", "description-encoding",
        "update.ini holds zero bytes: UTF-16 without the FF FE mark, or big-endian, reads as garbage");
  } else if (!utf16 && !IsUtf8(bytes)) {
    Add(check, "warning", "description-encoding",
        "update.ini is not UTF-8: the panel reads its odd bytes as Latin-1 characters");
  }
  int number = 1;
  bool previousClosed = true;
  for (const std::u16string& line : ReadProfileLines(check->device, check->description.c_str())) {
    bool closed = !line.empty() && line.back() == u'\n';
    if (!previousClosed) {
      Add(check, "error", "long-line",
          "line " + std::to_string(number) +
              " of update.ini is longer than 259 characters; the panel reads the rest as a line of its own");
    }
    if (closed) ++number;
    previousClosed = closed || static_cast<int>(line.size()) < kProfileLineCapacity - 1;
  }
}

// A copy that failed and was not done later (a listed file's first attempt
// fails when its directories are missing, and is made again once they exist).
bool DoneLater(const std::vector<OverlayChange>& changes, size_t failed) {
  for (size_t i = failed + 1; i < changes.size(); ++i) {
    const OverlayChange& later = changes[i];
    if (later.kind == OverlayChangeKind::CopyFile && later.error == 0 && later.path == changes[failed].path &&
        later.target == changes[failed].target) {
      return true;
    }
  }
  return false;
}

// The plan is what the run did to the application directory and the package.
void ReadPlan(Check* check) {
  check->bytes = 0;
  const std::vector<OverlayChange>& changes = check->run.changes;
  for (size_t i = 0; i < changes.size(); ++i) {
    const OverlayChange& change = changes[i];
    if (change.error != 0 && change.kind == OverlayChangeKind::CopyFile && !DoneLater(changes, i)) {
      Add(check, "error", "copy-fails",
          "copying " + Utf8(change.path) + " to " + Utf8(change.target) + " fails (device error " +
              std::to_string(change.error) + ")");
    }
    if (change.error != 0) continue;
    if (change.kind == OverlayChangeKind::DeleteFile) check->deletes.push_back(change.path);
    if (change.kind == OverlayChangeKind::CreateDirectory) check->createdDirectories.push_back(change.path);
    if (change.kind == OverlayChangeKind::RemoveDirectory) check->removedDirectories.push_back(change.path);
    if (change.kind == OverlayChangeKind::CopyFile) {
      check->copies.push_back(Copy{change.path, change.target, change.replaced});
      check->bytes += change.bytes;
    }
  }
}

// The outcome is the last message drawn before the prompt.
void ReadOutcome(Check* check) {
  for (const DrawnText& text : check->run.texts) {
    if (text.band == kPressText.band) return;
    if (text.band == kErrorText.band) check->outcome = text.text;
  }
  check->outcome.clear();
}

void CheckOutcome(Check* check) {
  if (check->outcome.empty()) return;
  char16_t failure[kScreenTextCapacity];
  ReadScreenText(&check->run.language, kErrorText, failure, kScreenTextCapacity);
  if (check->outcome == failure) {
    Add(check, "error", "update-fails", "the panel would show \"" + Utf8(check->outcome) + "\"");
  }
}

void CheckSettingsAndDatabase(Check* check) {
  bool copiesSettings = false;
  bool replacesParam = false;
  std::u16string param = std::u16string(kApplicationDirectory) + kParamPath;
  for (const Copy& copy : check->copies) {
    copiesSettings = copiesSettings || Same(copy.to, kInstalledStatePath);
    replacesParam = replacesParam || Same(copy.to, param);
  }
  if (Same(MainValue(*check, kDeleteKey, u"0"), kAllKeyword) && !copiesSettings) {
    Add(check, "error", "settings-lost",
        "\"Delete\" = \"all\" while the package brings no main.ini: the language, title and frequency are lost");
  }
  if (replacesParam && !Same(MainValue(*check, kDeleteDatabaseKey, u"false"), kTrueKeyword)) {
    Add(check, "error", "param-replaced", Utf8(kParamPath) + " is replaced without \"DeleteDatabase\" = true");
  }
  std::vector<std::u16string> unused;
  for (const std::u16string& file : check->packageFiles) {
    bool copied = Same(file, kPackageDescriptionName) || Same(file, kChecksumListName);
    for (const Copy& copy : check->copies) copied = copied || Same(copy.from, check->packageDirectory + file);
    if (!copied && file.back() != u'\\') unused.push_back(file);
  }
  if (!unused.empty()) {
    std::string names;
    for (const std::u16string& file : unused) names += (names.empty() ? "" : ", ") + Utf8(file);
    Add(check, "warning", "files-never-copied", "package files the Update list never copies: " + names);
  }
}

void CheckTextFit(Check* check) {
  std::vector<LanguageText> texts = ScreenTextsAfterUpdate(check->device);
  std::vector<std::u16string> strings;
  for (const LanguageText& text : texts) strings.push_back(text.text);
  std::vector<TextWidths> widths;
  ScreenFont font;
  std::string error;
  if (!MeasureTexts(strings, check->arguments->fontFile, &widths, &font, &error)) {
    Add(check, "note", "text-fit-unknown", "texts were not measured: " + error);
    return;
  }
  for (size_t i = 0; i < texts.size(); ++i) {
    if (!IsCut(widths[i], *texts[i].screenText)) continue;
    Add(check, "warning", "text-cut",
        Utf8(texts[i].language) + " \"" + Utf8(texts[i].screenText->key) + "\" = \"" + Utf8(texts[i].text) +
            "\" is too wide for its band and is cut (" + std::to_string(widths[i].small) + " pixels)");
  }
  if (font.substitute) {
    Add(check, "note", "fit-approximate",
        "widths measured with " + (font.family.empty() ? "no font" : font.family + " (" + font.file + ")") +
            " standing in for \"" + Utf8(kScreenFaceName) + "\"; pass --font with the panel's font");
  }
}

std::string AsDirectory(const std::string& path) {
  return !path.empty() && (path.back() == '\\' || path.back() == '/') ? path : path + "\\";
}

// One step of the plan as the text report shows it; empty for steps it leaves out.
std::string StepText(const OverlayChange& change) {
  std::string path = Utf8(change.path);
  switch (change.kind) {
    case OverlayChangeKind::DeleteFile: return "delete " + path;
    case OverlayChangeKind::RemoveDirectory: return "remove " + AsDirectory(path);
    case OverlayChangeKind::CreateDirectory: return "create " + AsDirectory(path);
    case OverlayChangeKind::CopyFile:
      return "copy   " + path + " -> " + Utf8(change.target) + " (" + (change.replaced ? "replaces" : "new") +
             ", " + std::to_string(change.bytes) + " bytes)";
    case OverlayChangeKind::WriteFile: return "write  " + path;
    default: return "";
  }
}

const char* StepName(OverlayChangeKind kind) {
  switch (kind) {
    case OverlayChangeKind::DeleteFile: return "delete";
    case OverlayChangeKind::CopyFile: return "copy";
    case OverlayChangeKind::CreateDirectory: return "create";
    case OverlayChangeKind::RemoveDirectory: return "remove";
    case OverlayChangeKind::SetAttributes: return "attributes";
    case OverlayChangeKind::WriteFile: return "write";
    case OverlayChangeKind::MoveFile: return "move";
  }
  return "";
}

// Every step the run asked for, in order, failed ones with their device error,
// so that replaying the plan gives what the run gives.
std::string PlanJson(const std::vector<OverlayChange>& changes) {
  std::string out = "[";
  for (const OverlayChange& change : changes) {
    out += std::string(out.size() > 1 ? ",\n   " : "") + "{\"step\": \"" + StepName(change.kind) +
           "\", \"path\": " + Json(change.path);
    if (!change.target.empty()) out += ", \"to\": " + Json(change.target);
    if (change.kind == OverlayChangeKind::CopyFile) {
      out += ", \"bytes\": " + std::to_string(change.bytes) + ", \"replaces\": " + (change.replaced ? "true" : "false");
    }
    if (change.kind == OverlayChangeKind::SetAttributes) out += ", \"attributes\": " + std::to_string(change.attributes);
    out += ", \"error\": " + std::to_string(change.error) + "}";
  }
  return out + "]";
}

const char* SourceName(PackageSource source) {
  return source == PackageSource::Card ? "card" : source == PackageSource::Flash ? "flash" : nullptr;
}

int ErrorCount(const Check& check) {
  int errors = 0;
  for (const Finding& finding : check.findings) errors += std::string(finding.severity) == "error";
  return errors;
}

void PrintText(const Check& check) {
  const PackageSelection& s = check.selection;
  printf("Package %s (%s)\n", Utf8(check.packageDirectory).c_str(),
         check.arguments->device.place == PackagePlace::Card ? "card" : "flash");
  printf("Installed: %s, %s\n", VersionText(s.installedVersion).c_str(),
         s.installedTime.year == 0 ? "no update time" : TimeText(s.installedTime).c_str());
  printf("Package:   %s, %s\n", VersionText(check.packageVersion).c_str(),
         check.packageTime.year == 0 ? "no update time" : TimeText(check.packageTime).c_str());
  printf("Selected:  %s: %s\n", s.source == PackageSource::None ? "no" : SourceName(s.source),
         check.reason.c_str());
  printf("Plan:\n");
  for (const OverlayChange& change : check.run.changes) {
    std::string step = StepText(change);
    if (step.empty()) continue;
    printf("  %s%s\n", step.c_str(),
           change.error == 0 ? "" : (" (fails: device error " + std::to_string(change.error) + ")").c_str());
  }
  printf("  %lld bytes copied\n", check.bytes);
  printf("Outcome: %s\n", check.outcome.empty() ? "nothing applied; the application starts at once"
                                                 : ("\"" + Utf8(check.outcome) + "\"").c_str());
  printf("Findings:%s\n", check.findings.empty() ? " none" : "");
  for (const Finding& finding : check.findings) {
    printf("  %s %s: %s\n", finding.severity, finding.code, finding.message.c_str());
  }
  printf("%d error(s)\n", ErrorCount(check));
}

std::string JsonList(const std::vector<std::u16string>& items) {
  std::string out = "[";
  for (const std::u16string& item : items) out += (out.size() > 1 ? ", " : "") + Json(item);
  return out + "]";
}

void PrintJson(const Check& check) {
  const PackageSelection& s = check.selection;
  const char* source = SourceName(s.source);
  printf("{\"selected\": %s, \"source\": %s,\n", s.source == PackageSource::None ? "false" : "true",
         source == nullptr ? "null" : ("\"" + std::string(source) + "\"").c_str());
  printf(" \"installed\": {\"version\": \"%s\", \"time\": %s},\n", VersionText(s.installedVersion).c_str(),
         TimeJson(s.installedTime).c_str());
  printf(" \"package\": {\"version\": \"%s\", \"time\": %s}, \"reason\": %s,\n",
         VersionText(check.packageVersion).c_str(), TimeJson(check.packageTime).c_str(),
         Json(Wide(check.reason)).c_str());
  printf(" \"delete\": %s,\n \"copy\": [", JsonList(check.deletes).c_str());
  for (size_t i = 0; i < check.copies.size(); ++i) {
    printf("%s{\"from\": %s, \"to\": %s, \"replaces\": %s}", i == 0 ? "" : ",\n   ",
           Json(check.copies[i].from).c_str(), Json(check.copies[i].to).c_str(),
           check.copies[i].replaces ? "true" : "false");
  }
  printf("],\n \"createDirectories\": %s, \"removeDirectories\": %s, \"bytes\": %lld,\n",
         JsonList(check.createdDirectories).c_str(), JsonList(check.removedDirectories).c_str(), check.bytes);
  printf(" \"plan\": %s,\n", PlanJson(check.run.changes).c_str());
  printf(" \"outcome\": %s,\n \"findings\": [", check.outcome.empty() ? "null" : Json(check.outcome).c_str());
  for (size_t i = 0; i < check.findings.size(); ++i) {
    const Finding& finding = check.findings[i];
    printf("%s{\"severity\": \"%s\", \"code\": \"%s\", \"message\": %s}", i == 0 ? "" : ",\n   ",
           finding.severity, finding.code, Json(Wide(finding.message)).c_str());
  }
  printf("]}\n");
}

}  // namespace

std::vector<LanguageText> ScreenTextsAfterUpdate(FileSystem* device) {
  std::vector<LanguageText> texts;
  Language language;
  ChooseLanguage(&language);
  for (const std::u16string& name : ProfileSections(device, language.textsPath)) {
    for (const ScreenText* screenText : kScreenTexts) {
      if (screenText->font == TextFont::Default) continue;
      char16_t text[kScreenTextCapacity];
      if (ReadProfileString(name.c_str(), screenText->key, u"", text, screenText->capacity,
                            language.textsPath) > 0) {
        texts.push_back(LanguageText{name, screenText, text});
      }
    }
  }
  return texts;
}

int RunCheck(const CheckArguments& arguments) {
  SimulatedDevice device;
  std::string error;
  if (!OpenSimulatedDevice(arguments.device, &device, &error)) {
    fprintf(stderr, "nimbora-package check: %s\n", error.c_str());
    return kToolUsageStatus;
  }
  UseFileSystem(&device.overlay.fileSystem);
  Check check{};
  check.arguments = &arguments;
  check.device = &device.overlay.fileSystem;
  check.packageDirectory = PackageDirectoryOf(arguments.device.place);
  check.description = check.packageDirectory + kPackageDescriptionName;
  check.packageFiles = ListTree(check.device, check.packageDirectory);
  CheckHostNames(&check);
  SelectPackage(&check.selection);
  check.applicable = IsPackageApplicable(check.description.c_str(), &check.selection.installedVersion,
                                         &check.selection.installedTime, &check.packageVersion,
                                         &check.packageTime);
  CheckEncodingAndLines(&check);
  CheckValues(&check);
  ExplainSelection(&check);
  CheckList(&check, kDeleteSection);
  CheckList(&check, kUpdateSection);
  for (const ChecksumFinding& finding : CheckChecksumList(check.device, check.packageDirectory)) {
    Add(&check, finding.severity, finding.code, finding.message);
  }
  RunOptions options{nullptr, arguments.fontFile, nullptr};
  if (!RunUpdaterOn(&device, options, &check.run, &error)) {
    fprintf(stderr, "nimbora-package check: %s\n", error.c_str());
    UseFileSystem(nullptr);
    CloseSimulatedDevice(&device);
    return kToolUsageStatus;
  }
  ReadPlan(&check);
  ReadOutcome(&check);
  CheckOutcome(&check);
  CheckSettingsAndDatabase(&check);
  CheckTextFit(&check);
  if (arguments.json) {
    PrintJson(check);
  } else {
    PrintText(check);
  }
  UseFileSystem(nullptr);
  CloseSimulatedDevice(&device);
  return ErrorCount(check) > 0 ? 1 : 0;
}

}  // namespace nimbora
