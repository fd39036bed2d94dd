// What nimbora-package check gathers while it runs: the package, the device,
// the run's record and the findings; shared by the files of check only.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "control/package_selection.h"
#include "package_check.h"
#include "package_tool.h"

namespace nimbora {

enum class Severity { Error, Warning, Note };

struct Finding {
  Severity severity;
  const char* code;
  std::string message;
  std::string section;  // of update.ini; empty when none
  std::string key;
  int line;           // in update.ini, from 1; 0 when none
  std::string entry;  // the list entry as written; empty when none
};

// One line of update.ini as the panel reads it: a piece of at most 259
// characters, its line end removed.
struct DescriptionLine {
  int number;       // the line of the file it is a piece of, from 1
  bool continued;   // a later piece of a line longer than 259 characters
  int header;       // index of the last header line before it; -1: none
  std::u16string text;
};

// Where an entry the logic's lookup finds stands.
struct DescriptionEntry {
  int line;  // 0: not in the file
  std::u16string value;
};

// One setting of a profile file as the panel reads it.
struct Setting {
  std::u16string section;
  std::u16string key;
  std::u16string value;
};

// A setting of main.ini the update changes; Version and Update Time aside.
struct SettingChange {
  std::u16string section;
  std::u16string key;
  std::u16string before;
  bool kept;  // still there afterwards, with value after
  std::u16string after;
};

struct Copy {
  std::u16string from;
  std::u16string to;
  bool replaces;
  long long bytes;
};

struct Check {
  const CheckArguments* arguments;
  FileSystem* device;  // installed, so the logic's lookups read it too
  std::u16string packageDirectory;
  std::u16string description;
  std::vector<DescriptionLine> lines;
  PackageSelection selection;
  bool applicable;  // this package, examined on its own
  bool applied;     // this package is the one the run applies
  VersionNumber packageVersion;
  UpdateTime packageTime;
  std::string reason;
  std::vector<std::u16string> packageFiles;
  std::vector<Setting> settingsBefore;
  RunRecord run;
  std::u16string outcome;
  std::vector<std::u16string> deletes;
  std::vector<Copy> copies;
  std::vector<std::u16string> createdDirectories;
  std::vector<std::u16string> removedDirectories;
  long long bytes;
  bool settingsReplaced;
  bool settingsDeleted;
  std::vector<SettingChange> settingChanges;
  std::vector<Finding> findings;
};

void Add(Check* check, Severity severity, const char* code, const std::string& message);
// A finding about a key of update.ini; entry is the list entry, if any.
void AddAt(Check* check, Severity severity, const char* code, const std::string& message,
           const std::u16string& section, const std::u16string& key, const std::u16string& entry = u"");
const char* SeverityName(Severity severity);

bool Same(const std::u16string& a, const std::u16string& b);
std::u16string MainValue(const Check& check, const char16_t* key, const char16_t* defaultText);

// The description's lines, read once.
std::vector<DescriptionLine> ReadDescriptionLines(FileSystem* fileSystem, const char16_t* path);
// The entry the logic's lookup finds: the first section of that name, its
// first line that is the key's entry.
DescriptionEntry FindEntry(const std::vector<DescriptionLine>& lines, const char16_t* section,
                           const char16_t* key);
// Index of the header that opens the section the lookup reads; -1: none.
int SectionHeader(const std::vector<DescriptionLine>& lines, const char16_t* section);
// Every list entry of a section that the lookup finds, by index.
std::map<int, DescriptionEntry> ListEntries(const std::vector<DescriptionLine>& lines,
                                            const char16_t* section);

// A device path as the device resolves it ("." skipped, ".." up, trailing
// full stops and blanks dropped), its components joined by backslashes,
// without a final one; "" is the root. false when a component is too long.
bool ResolveDevicePath(const std::u16string& path, std::u16string* resolved);
// Whether resolved path a is b or lies below it.
bool IsWithin(const std::u16string& a, const std::u16string& b);

enum class EntryKind { None, File, Directory };
EntryKind KindAt(FileSystem* fileSystem, const std::u16string& devicePath);

// The settings of a profile file, each as the panel's lookup reads it.
std::vector<Setting> ReadSettings(FileSystem* fileSystem, const char16_t* path);

// Before the run: what update.ini says.
void CheckEncoding(Check* check);
void CheckLongLines(Check* check);
void CheckVersion(Check* check);
void CheckTime(Check* check);
void CheckKeywords(Check* check);
void CheckMisplacedListKeys(Check* check);
void CheckBaseVersion(Check* check);
void CheckList(Check* check, const char16_t* section);
void CheckHostNames(Check* check);
void CheckNamesDifferingInCase(Check* check);
// After the run: what it did.
void ReadPlan(Check* check);
void CheckCopies(Check* check);
void CheckSettings(Check* check);
void CheckDatabase(Check* check);
void CheckApplicationDeleted(Check* check);
void CheckNeverCopied(Check* check);
void CheckUpdaterListed(Check* check);
void CheckNewLanguageFile(Check* check);

// The run's steps as the text plan shows them: its own normal course left out.
bool IsNormalCourse(const std::vector<OverlayChange>& changes, size_t step);
bool IsScratchStep(const OverlayChange& change);
std::string StepText(const OverlayChange& change);
// Every step the run asked for, in order, failed ones with their device error.
std::string PlanJson(const std::vector<OverlayChange>& changes);
// A path folded for comparison, as the device resolves it.
std::u16string PathKey(const std::u16string& path);

void PrintText(const Check& check);
void PrintJson(const Check& check);
int CountOf(const Check& check, Severity severity);

}  // namespace nimbora
