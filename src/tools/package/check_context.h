// What nimbora-package check gathers while it runs: the package, the device,
// the run's record and the findings; shared by the files of check only.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "control/package_selection.h"
#include "check_description.h"
#include "package_check.h"
#include "package_tool.h"

namespace nimbora {

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
  Description package;  // its fileSystem and device are the device
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
};

// Into the findings of check's package.
void Add(Check* check, Severity severity, const char* code, const std::string& message);
void AddAt(Check* check, Severity severity, const char* code, const std::string& message,
           const std::u16string& section, const std::u16string& key, const std::u16string& entry = u"");
std::u16string MainValue(const Check& check, const char16_t* key, const char16_t* defaultText);

// The settings of a profile file, each as the panel's lookup reads it.
std::vector<Setting> ReadSettings(FileSystem* fileSystem, const char16_t* path);

// Before the run: what update.ini says of this panel.
void CheckBaseVersion(Check* check);
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

void PrintText(const Check& check);
void PrintJson(const Check& check);
int CountOf(const Check& check, Severity severity);

}  // namespace nimbora
