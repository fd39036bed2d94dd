// nimbora-package make: compares OLD and NEW as the device sees names (letter
// case ignored, spelling kept), writes the smaller of a listed or an "all"
// package, then applies it to OLD through the whole Updater on a simulated
// device and compares the result with NEW.
#include "package_make.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "base/wide_string.h"
#include "control/package_selection.h"
#include "package/package_format.h"
#include "package_checksum_list.h"
#include "platform/device_locations.h"
#include "profile/profile_reader.h"
#include "profile/profile_syntax.h"
#include "package_tool.h"
#include "version/version_values.h"

namespace nimbora {

namespace {

std::u16string DatabaseDirectory() { return std::u16string(kDatabaseName) + u"\\"; }
constexpr const char16_t* kSettings = u"main.ini";
constexpr int kLongestPackageDirectory =
    static_cast<int>(std::max(std::char_traits<char16_t>::length(kCardPackageDirectory),
                              std::char_traits<char16_t>::length(kFlashPackageDirectory)));
constexpr int kSearchSuffix = 3;              // "*.*" after a directory's prefix

struct NoCaseLess {
  bool operator()(const std::u16string& a, const std::u16string& b) const {
    return WideCompareNoCase(a.c_str(), b.c_str()) < 0;
  }
};

bool IsDirectory(const std::u16string& path) { return !path.empty() && path.back() == u'\\'; }

std::u16string WithoutSeparator(const std::u16string& path) {
  return IsDirectory(path) ? path.substr(0, path.size() - 1) : path;
}

// A tree as the device names it: each entry keyed without its final separator.
struct Tree {
  HostTree host;
  std::vector<std::u16string> entries;  // depth first, directories end with "\"
  std::map<std::u16string, std::u16string, NoCaseLess> spelled;
};

bool LoadTree(const char* path, Tree* tree, std::string* error) {
  if (!OpenHostTree(path, &tree->host, error)) return false;
  tree->entries = ListTree(&tree->host.fileSystem, u"\\");
  for (const std::u16string& entry : tree->entries) tree->spelled[WithoutSeparator(entry)] = entry;
  return true;
}

std::string FileBytes(Tree* tree, const std::u16string& path) {
  std::string bytes;
  ReadWholeFile(&tree->host.fileSystem, u"\\" + path, &bytes);
  return bytes;
}

// The lines of a main.ini apart from the Version and Update Time the run records.
std::vector<std::u16string> SettingsLines(FileSystem* fileSystem, const std::u16string& path) {
  std::vector<std::u16string> lines;
  bool inMain = false;
  for (std::u16string line : ReadProfileLines(fileSystem, path.c_str())) {
    if (!line.empty() && line.back() == u'\n') line.pop_back();
    if (IsHeader(line.c_str())) inMain = IsHeaderOf(line.c_str(), kMainSection);
    bool recorded = inMain && (EntryValue(line.c_str(), kVersionKey) || EntryValue(line.c_str(), kUpdateTimeKey));
    if (!recorded && !IsIgnoredLine(line.c_str())) lines.push_back(line);
  }
  return lines;
}

std::vector<std::u16string> TreeSettings(Tree* tree) {
  return SettingsLines(&tree->host.fileSystem, std::u16string(u"\\") + kSettings);
}

struct Plan {
  bool deleteAll;
  std::vector<std::u16string> deletes;
  std::vector<std::u16string> updates;
};

struct Diff {
  Tree* oldTree;
  Tree* newTree;
  bool deleteDatabase;
  std::string reason;  // a change the format cannot express
};

std::u16string LastName(const std::u16string& key) {
  size_t separator = key.rfind(u'\\');
  return separator == std::u16string::npos ? key : key.substr(separator + 1);
}

std::u16string ParentKey(const std::u16string& key) {
  size_t separator = key.rfind(u'\\');
  return separator == std::u16string::npos ? u"" : key.substr(0, separator);
}

// An OLD entry that cannot stay: gone, of the other kind, or renamed in letter case.
bool Replaced(const Diff& diff, const std::u16string& oldEntry) {
  auto found = diff.newTree->spelled.find(WithoutSeparator(oldEntry));
  if (found == diff.newTree->spelled.end()) return true;
  return IsDirectory(found->second) != IsDirectory(oldEntry) ||
         LastName(WithoutSeparator(found->second)) != LastName(WithoutSeparator(oldEntry));
}

bool Fresh(const Diff& diff, const std::u16string& newEntry) {
  auto found = diff.oldTree->spelled.find(WithoutSeparator(newEntry));
  return found == diff.oldTree->spelled.end() || Replaced(diff, found->second);
}

// Whether test holds for the entry or for a directory above it.
template <typename Test>
bool HoldsAtOrAbove(const std::map<std::u16string, std::u16string, NoCaseLess>& spelled,
                    const std::u16string& entry, Test test) {
  for (std::u16string key = WithoutSeparator(entry); !key.empty(); key = ParentKey(key)) {
    if (test(spelled.at(key))) return true;
  }
  return false;
}

bool StartsWithFullStop(const std::u16string& key) { return LastName(key)[0] == u'.'; }

// Whether a tree walk from an ancestor for which test holds reaches the
// entry: the walks pass over every name that starts with a full stop.
template <typename Test>
bool ReachedFromOneWhere(const std::map<std::u16string, std::u16string, NoCaseLess>& spelled,
                         const std::u16string& entry, Test test) {
  std::u16string key = WithoutSeparator(entry);
  for (bool hidden = StartsWithFullStop(key); !hidden && !(key = ParentKey(key)).empty();
       hidden = StartsWithFullStop(key)) {
    if (test(spelled.at(key))) return true;
  }
  return false;
}

bool Changed(Diff* diff, const std::u16string& entry) {
  if (IsDirectory(entry)) return false;
  if (WideCompareNoCase(entry.c_str(), kSettings) == 0) {
    return TreeSettings(diff->oldTree) != TreeSettings(diff->newTree);
  }
  return FileBytes(diff->oldTree, entry) != FileBytes(diff->newTree, entry);
}

// Whether entry is key, or lies below key when key is a directory.
bool IsIn(const std::u16string& entry, const std::u16string& key) {
  if (WideCompareNoCase(WithoutSeparator(entry).c_str(), WithoutSeparator(key).c_str()) == 0) return true;
  return IsDirectory(key) && entry.size() > key.size() &&
         WideCompareNoCasePrefix(entry.c_str(), key.c_str(), static_cast<int>(key.size())) == 0;
}

bool IsParam(const std::u16string& entry) { return WideCompareNoCase(entry.c_str(), kParamPath) == 0; }

// The copies: wholly new directories as one entry, then changed files.
std::vector<std::u16string> Copies(Diff* diff) {
  std::vector<std::u16string> copies;
  const auto& spelled = diff->newTree->spelled;
  auto fresh = [diff](const std::u16string& entry) { return Fresh(*diff, entry); };
  for (const std::u16string& entry : diff->newTree->entries) {
    if (ReachedFromOneWhere(spelled, entry, [&](const std::u16string& e) { return IsDirectory(e) && fresh(e); })) {
      continue;
    }
    if (HoldsAtOrAbove(spelled, entry, fresh) || Changed(diff, entry)) copies.push_back(entry);
  }
  return copies;
}

// Innermost first, so a directory is emptied of what its own delete passes
// over before that delete removes it.
std::vector<std::u16string> Deletes(const Diff& diff) {
  std::vector<std::u16string> deletes;
  const auto& spelled = diff.oldTree->spelled;
  auto replaced = [&diff](const std::u16string& entry) { return Replaced(diff, entry); };
  for (auto entry = diff.oldTree->entries.rbegin(); entry != diff.oldTree->entries.rend(); ++entry) {
    if (HoldsAtOrAbove(spelled, *entry, replaced) && !ReachedFromOneWhere(spelled, *entry, replaced)) {
      deletes.push_back(*entry);
    }
  }
  return deletes;
}

// The rules a package cannot break: the database and the running Updater.
bool Expressible(Diff* diff, const Plan& plan) {
  for (const std::u16string& entry : plan.deletes) {
    if (!diff->deleteDatabase && (IsIn(DatabaseDirectory(), entry) || IsParam(entry))) {
      diff->reason = "removing " + Utf8(entry) + " deletes the database; pass --delete-database";
      return false;
    }
  }
  for (const std::u16string& entry : plan.updates) {
    for (const std::u16string& file : diff->newTree->entries) {
      if (!diff->deleteDatabase && IsParam(file) && IsIn(file, entry)) {
        diff->reason = Utf8(kParamPath) + " would be replaced; pass --delete-database";
        return false;
      }
    }
    if (WideCompareNoCase(entry.c_str(), kUpdaterName) == 0) {
      diff->reason = Utf8(kUpdaterName) + " changes: a listed copy over the running Updater fails the update, "
                     "and \"all\" would leave update.ini in the application directory";
      return false;
    }
  }
  return true;
}

Plan ListedPlan(Diff* diff) { return Plan{false, Deletes(*diff), Copies(diff)}; }

// "Delete" = "all": everything but the kept database goes, and NEW comes back
// whole. Only possible when nothing inside the kept database is to go and no
// name starting with a full stop (which the tree walks pass over) is in either.
bool AllPlan(Diff* diff, const Plan& listed, Plan* plan) {
  for (const Tree* tree : {diff->oldTree, diff->newTree}) {
    for (const std::u16string& entry : tree->entries) {
      if (StartsWithFullStop(WithoutSeparator(entry))) return false;
    }
  }
  for (const std::u16string& entry : listed.deletes) {
    if (!diff->deleteDatabase && IsIn(entry, DatabaseDirectory())) return false;
  }
  *plan = Plan{true, {}, {}};
  for (const std::u16string& entry : diff->newTree->entries) {
    bool top = ParentKey(WithoutSeparator(entry)).empty();
    if (top && (diff->deleteDatabase || !IsIn(entry, DatabaseDirectory()))) plan->updates.push_back(entry);
  }
  for (const std::u16string& entry : listed.updates) {
    if (!diff->deleteDatabase && IsIn(entry, DatabaseDirectory())) plan->updates.push_back(entry);
  }
  // Files first: with the whole directory gone, a file's copy creates it again.
  std::stable_partition(plan->updates.begin(), plan->updates.end(),
                        [](const std::u16string& entry) { return !IsDirectory(entry); });
  return Expressible(diff, *plan);
}

std::string Line(const std::u16string& key, const std::u16string& value) {
  return Utf8(key) + "=" + Utf8(value) + "\r\n";
}

std::string Description(const MakeArguments& arguments, const Plan& plan) {
  std::string text = "[Main]\r\nVersion=" + std::string(arguments.version) + "\r\n";
  if (arguments.time != nullptr) text += "Update Time=" + std::string(arguments.time) + "\r\n";
  text += "Delete=" + (plan.deleteAll ? std::string("all") : std::to_string(plan.deletes.size())) + "\r\n";
  if (arguments.deleteDatabase) text += "DeleteDatabase=true\r\n";
  text += "Update=" + std::to_string(plan.updates.size()) + "\r\n";
  for (const char16_t* section : {kDeleteSection, kUpdateSection}) {
    const std::vector<std::u16string>& list = section[0] == u'D' ? plan.deletes : plan.updates;
    if (list.empty()) continue;
    text += "\r\n[" + Utf8(section) + "]\r\n";
    for (size_t i = 0; i < list.size(); ++i) text += Line(kEntryPrefix + Wide(std::to_string(i + 1)), list[i]);
  }
  return text;
}

// Every path the run forms from an entry, and every line, must fit.
bool Fits(Diff* diff, const Plan& plan) {
  for (const std::vector<std::u16string>* list : {&plan.deletes, &plan.updates}) {
    for (size_t i = 0; i < list->size(); ++i) {
      std::u16string entry = (*list)[i];
      int line = static_cast<int>(Line(kEntryPrefix + Wide(std::to_string(i + 1)), entry).size());
      std::vector<std::u16string> paths{entry};
      Tree* tree = list == &plan.deletes ? diff->oldTree : diff->newTree;
      for (const std::u16string& inner : tree->entries) {
        if (IsDirectory(entry) && inner.size() > entry.size() && IsIn(inner, entry)) paths.push_back(inner);
      }
      for (const std::u16string& path : paths) {
        int formed = kLongestPackageDirectory + static_cast<int>(path.size()) + (IsDirectory(path) ? kSearchSuffix : 0);
        if (formed >= kPathCapacity || line >= kProfileLineCapacity - 1) {
          diff->reason = Utf8(path) + " cannot fit the device's 260-character paths or 259-character lines";
          return false;
        }
      }
    }
  }
  return true;
}

long long PlanBytes(Tree* newTree, const Plan& plan) {
  long long bytes = 0;
  for (const std::u16string& entry : plan.updates) {
    for (const std::u16string& file : newTree->entries) {
      if (!IsDirectory(file) && IsIn(file, entry)) {
        bytes += static_cast<long long>(FileBytes(newTree, file).size());
      }
    }
  }
  return bytes;
}

std::filesystem::path HostPathOf(const std::string& root, const std::u16string& entry) {
  std::string relative = Utf8(WithoutSeparator(entry));
  for (char& c : relative) c = c == '\\' ? '/' : c;
  return std::filesystem::path(root) / relative;
}

bool WritePackage(const MakeArguments& arguments, const Plan& plan, std::string* error) {
  std::error_code failure;
  std::filesystem::create_directories(arguments.outDir, failure);
  for (const std::u16string& entry : plan.updates) {
    std::filesystem::path to = HostPathOf(arguments.outDir, entry);
    std::filesystem::create_directories(to.parent_path(), failure);
    if (!failure) {
      std::filesystem::copy(HostPathOf(arguments.newDir, entry), to,
                            std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing,
                            failure);
    }
    if (failure) {
      *error = "cannot write " + to.string() + ": " + failure.message();
      return false;
    }
  }
  std::ofstream(std::string(arguments.outDir) + "/update.ini", std::ios::binary) << Description(arguments, plan);
  return !arguments.checksums || WriteChecksumList(arguments.outDir, error);
}

// OLD is the installed file system: its main.ini is read as the run reads it.
bool IsApplicable(const MakeArguments& arguments, std::string* reason) {
  VersionNumber version;
  VersionNumber installed;
  UpdateTime time{};
  UpdateTime installedTime;
  if (arguments.time != nullptr) ParseUpdateTime(Wide(arguments.time).c_str(), &time);
  if (!ParseVersion(Wide(arguments.version).c_str(), &version) ||
      (arguments.time != nullptr && time.year == 0)) {
    *reason = "--version needs X.Y.Z and --time \"YYYY-MM-DD HH:MM:SS\"";
    return false;
  }
  char16_t value[50];
  ReadProfileString(kMainSection, kVersionKey, u"", value, 50, u"\\main.ini");
  ParseVersion(value, &installed);
  ReadProfileString(kMainSection, kUpdateTimeKey, u"", value, 50, u"\\main.ini");
  ParseUpdateTime(value, &installedTime);
  // The package made carries the instructions the difference needs.
  if (IsNewerPackage(OrderOfPackage(&version, &time, &installed, &installedTime),
                     PackageInstructions::Some)) {
    return true;
  }
  *reason = "version " + std::string(arguments.version) + " is not newer than OLD's " + Utf8(value);
  return false;
}

// The differences between the simulated application directory and NEW.
std::vector<std::string> Verify(const MakeArguments& arguments, Tree* newTree, std::string* error) {
  std::vector<std::string> differences;
  SimulatedDevice device;
  DeviceSetup setup{nullptr, arguments.outDir, PackagePlace::Card, arguments.oldDir};
  RunRecord record;
  if (!OpenSimulatedDevice(setup, &device, error)) return {*error};
  if (!RunUpdaterOn(&device, RunOptions{nullptr, nullptr, nullptr}, &record, error)) {
    CloseSimulatedDevice(&device);
    return {*error};
  }
  std::u16string application = kApplicationDirectory;
  FileSystem* simulated = &device.overlay.fileSystem;
  std::vector<std::u16string> result = ListTree(simulated, application);
  std::map<std::u16string, std::string> contents;
  for (const std::u16string& entry : result) {
    if (IsDirectory(entry)) continue;
    ReadWholeFile(simulated, application + entry, &contents[entry]);
  }
  std::vector<std::u16string> resultSettings = SettingsLines(simulated, application + kSettings);
  CloseSimulatedDevice(&device);
  for (const std::u16string& entry : newTree->entries) {
    auto found = contents.find(entry);
    if (IsDirectory(entry) || found == contents.end()) continue;
    bool same = WideCompareNoCase(entry.c_str(), kSettings) == 0 ? resultSettings == TreeSettings(newTree)
                                                                 : found->second == FileBytes(newTree, entry);
    if (!same) differences.push_back(Utf8(entry) + " differs");
  }
  std::map<std::u16string, int> seen;
  for (const std::u16string& entry : result) ++seen[entry];
  for (const std::u16string& entry : newTree->entries) --seen[entry];
  for (const auto& [entry, count] : seen) {
    if (count != 0) differences.push_back(Utf8(entry) + (count > 0 ? " is left over" : " is missing"));
  }
  return differences;
}

bool IsEmptyOrMissing(const char* directory) {
  std::error_code failure;
  return !std::filesystem::exists(directory, failure) || std::filesystem::is_empty(directory, failure);
}

int Refuse(const std::string& reason) {
  fprintf(stderr, "nimbora-package make: %s\n", reason.c_str());
  return kToolUsageStatus;
}

}  // namespace

int RunMake(const MakeArguments& arguments) {
  std::string error;
  Tree oldTree;
  Tree newTree;
  if (!LoadTree(arguments.oldDir, &oldTree, &error) || !LoadTree(arguments.newDir, &newTree, &error)) {
    return Refuse(error);
  }
  if (!IsEmptyOrMissing(arguments.outDir)) return Refuse(std::string(arguments.outDir) + " is not empty");
  UseFileSystem(&oldTree.host.fileSystem);
  bool applicable = IsApplicable(arguments, &error);
  UseFileSystem(nullptr);
  if (!applicable) return Refuse(error);
  Diff diff{&oldTree, &newTree, arguments.deleteDatabase, {}};
  Plan plan = ListedPlan(&diff);
  if (!Expressible(&diff, plan) || !Fits(&diff, plan)) return Refuse(diff.reason);
  Plan all;
  if (AllPlan(&diff, plan, &all) && Fits(&diff, all) &&
      PlanBytes(&newTree, all) + static_cast<long long>(Description(arguments, all).size()) <
          PlanBytes(&newTree, plan) + static_cast<long long>(Description(arguments, plan).size())) {
    plan = all;
  }
  if (!WritePackage(arguments, plan, &error)) return Refuse(error);
  std::vector<std::string> differences = Verify(arguments, &newTree, &error);
  for (const std::string& difference : differences) {
    fprintf(stderr, "nimbora-package make: verification: %s\n", difference.c_str());
  }
  printf("%s: Delete=%s, Update=%zu\n", arguments.outDir,
         plan.deleteAll ? "all" : std::to_string(plan.deletes.size()).c_str(), plan.updates.size());
  return differences.empty() ? 0 : 1;
}

}  // namespace nimbora
