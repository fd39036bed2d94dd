// nimbora-package make: compares OLD and NEW as the device sees names (letter
// case ignored, spelling kept), writes the package beside OUT, applies it to
// OLD through the whole Updater on a simulated device, compares the result
// with NEW, and only then puts it in place as OUT.
#include "package_make.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

#include <nlohmann/json.hpp>

#include "control/package_selection.h"
#include "make_plan.h"
#include "make_tree.h"
#include "make_verify.h"
#include "package/package_format.h"
#include "package_base.h"
#include "package_checksum_list.h"
#include "package_tool.h"
#include "platform/device_locations.h"
#include "profile/profile_reader.h"
#include "version/version_values.h"

namespace nimbora {

namespace {

namespace fs = std::filesystem;

constexpr int kValueCapacity = 50;  // as the run reads main.ini
constexpr int kTextCapacity = 256;

// What the panel would record from the values given, formatted back by the
// logic: a value is taken only when that is what was written.
bool ValuesReadAsWritten(const MakeArguments& arguments, VersionNumber* version, UpdateTime* time,
                         std::string* reason) {
  char16_t text[kTextCapacity];
  bool parsed = ParseVersion(Wide(arguments.version).c_str(), version);
  FormatVersion(version, text, kTextCapacity);
  if (!parsed || Utf8(text) != arguments.version) {
    *reason = std::string("--version ") + arguments.version + " would be read by the panel as " +
              (parsed ? Utf8(text) : "0.0.0") +
              ": write X.Y.Z, three decimal numbers from 0 to 255 "
              "without leading zeros";
    return false;
  }
  *time = UpdateTime{};
  if (arguments.time == nullptr) return true;
  ParseUpdateTime(Wide(arguments.time).c_str(), time);
  FormatUpdateTime(time, text, kTextCapacity);
  if (time->month != 0 && Utf8(text) == arguments.time) return true;
  *reason = std::string("--time \"") + arguments.time + "\" would be read by the panel as " +
            (time->month != 0 ? "\"" + Utf8(text) + "\"" : std::string("no time")) +
            ": write \"YYYY-MM-DD H:MM:SS\" as the panel writes times (the hour without a leading zero), "
            "e.g. \"2026-11-20 14:05:00\"";
  return false;
}

struct Installed {
  VersionNumber version;
  UpdateTime time;
  std::string versionText;  // formatted back, for the base line and the messages
  std::string timeText;
};

// OLD's main.ini read as the run reads it.
bool ReadInstalled(const char* oldDir, Installed* installed, std::string* error) {
  HostTree tree;
  if (!OpenHostTree(oldDir, &tree, error)) return false;
  UseFileSystem(&tree.fileSystem);
  char16_t value[kValueCapacity];
  std::u16string path = u"\\" + LastName(kInstalledStatePath);
  ReadProfileString(kMainSection, kVersionKey, u"", value, kValueCapacity, path.c_str());
  ParseVersion(value, &installed->version);
  ReadProfileString(kMainSection, kUpdateTimeKey, u"", value, kValueCapacity, path.c_str());
  ParseUpdateTime(value, &installed->time);
  UseFileSystem(nullptr);
  char16_t text[kTextCapacity];
  FormatVersion(&installed->version, text, kTextCapacity);
  installed->versionText = Utf8(text);
  FormatUpdateTime(&installed->time, text, kTextCapacity);
  installed->timeText = Utf8(text);
  return true;
}

// The package made carries the instructions the difference needs.
bool IsNewer(const MakeArguments& arguments, const VersionNumber& version, const UpdateTime& time,
             const Installed& installed, std::string* reason) {
  PackageOrder order = OrderOfPackage(&version, &time, &installed.version, &installed.time);
  if (IsNewerPackage(order, PackageInstructions::Some)) return true;
  *reason = "version " + std::string(arguments.version) + " is not newer than OLD's " + installed.versionText;
  if (order == PackageOrder::SameVersionNotLater) {
    *reason +=
        ", and " + (arguments.time == nullptr ? std::string("no --time is given")
                                              : "--time is not later than OLD's " + installed.timeText);
  }
  return false;
}

// OUT is new or empty (the command line has made sure neither tree holds it).
bool OutPlaced(const MakeArguments& arguments, std::string* reason) {
  std::error_code failure;
  if (fs::exists(arguments.outDir, failure) && !fs::is_empty(arguments.outDir, failure)) {
    *reason = std::string(arguments.outDir) + " is not empty";
    return false;
  }
  return true;
}

std::string Description(const MakeArguments& arguments, const Installed& installed, const MakePlan& plan) {
  std::string text = "[Main]\r\n" + Utf8(PackageBaseLine(Wide(installed.versionText))) +
                     "\r\nVersion=" + arguments.version + "\r\n";
  if (arguments.time != nullptr) text += "Update Time=" + std::string(arguments.time) + "\r\n";
  text += "Delete=" + (plan.deleteAll ? Utf8(kAllKeyword) : std::to_string(plan.deletes.size())) + "\r\n";
  if (arguments.deleteDatabase) text += Utf8(kDeleteDatabaseKey) + "=" + Utf8(kTrueKeyword) + "\r\n";
  text += "Update=" + std::to_string(plan.updates.size()) + "\r\n";
  for (const char16_t* section : {kDeleteSection, kUpdateSection}) {
    const std::vector<std::u16string>& list = section == kDeleteSection ? plan.deletes : plan.updates;
    if (list.empty()) continue;
    text += "\r\n[" + Utf8(section) + "]\r\n";
    for (size_t i = 0; i < list.size(); ++i) {
      text += Utf8(kEntryPrefix) + std::to_string(i + 1) + "=" + Utf8(list[i]) + "\r\n";
    }
  }
  return text;
}

bool CannotWrite(const std::string& path, const std::string& why, std::string* error) {
  *error = "cannot write " + path + ": " + why;
  return false;
}

bool WriteFile(const std::string& path, const std::string& bytes, std::string* error) {
  FILE* file = fopen(path.c_str(), "wb");
  if (file == nullptr) return CannotWrite(path, strerror(errno), error);
  bool written = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  if (fclose(file) != 0 || !written) return CannotWrite(path, strerror(errno), error);
  return true;
}

// The package in staging, a new directory beside OUT.
bool WritePackage(const MakeArguments& arguments, const MakeTree& newTree, const MakePlan& plan,
                  const std::string& description, const std::string& staging, std::string* error) {
  size_t root = strlen(arguments.newDir);
  for (int index : plan.carried) {
    const TreeEntry& entry = newTree.entries[static_cast<size_t>(index)];
    fs::path to = staging + entry.host.substr(root);
    std::error_code failure;
    fs::create_directories(entry.directory ? to : to.parent_path(), failure);
    if (!failure && !entry.directory) fs::copy_file(entry.host, to, failure);
    if (failure) return CannotWrite(to.string(), failure.message(), error);
  }
  return WriteFile(staging + "/" + Utf8(kPackageDescriptionName), description, error) &&
         (!arguments.checksums || WriteChecksumList(staging, error));
}

bool MakeStaging(const MakeArguments& arguments, std::string* staging, std::string* error) {
  fs::path out = fs::absolute(arguments.outDir).lexically_normal();
  if (!out.has_filename()) out = out.parent_path();
  std::error_code failure;
  fs::create_directories(out.parent_path(), failure);
  std::string pattern = (out.parent_path() / ("." + out.filename().string() + ".making-XXXXXX")).string();
  if (failure || mkdtemp(pattern.data()) == nullptr) {
    return CannotWrite(out.string(), failure ? failure.message() : strerror(errno), error);
  }
  *staging = pattern;
  // mkdtemp keeps the directory private; OUT gets what a new directory gets.
  mode_t mask = umask(0);
  umask(mask);
  fs::permissions(pattern, fs::perms::all & ~static_cast<fs::perms>(mask), failure);
  return true;
}

bool PutInPlace(const std::string& staging, const char* outDir, std::string* error) {
  std::error_code failure;
  if (fs::exists(outDir, failure)) fs::remove(outDir, failure);
  if (!failure) fs::rename(staging, outDir, failure);
  return !failure || CannotWrite(outDir, failure.message(), error);
}

nlohmann::json Names(const std::vector<std::u16string>& list) {
  nlohmann::json names = nlohmann::json::array();
  for (const std::u16string& entry : list) names.push_back(Utf8(entry));
  return names;
}

void Print(const MakeArguments& arguments, const Installed& installed, const MakePlan& plan) {
  for (const std::string& note : plan.notes)
    fprintf(stderr, "nimbora-package make: note: %s\n", note.c_str());
  std::string deletes = plan.deleteAll ? Utf8(kAllKeyword) : std::to_string(plan.deletes.size());
  if (!arguments.json) {
    printf("%s: Delete=%s, Update=%zu\n", arguments.outDir, deletes.c_str(), plan.updates.size());
    return;
  }
  nlohmann::json out{
      {"out", arguments.outDir},
      {"version", arguments.version},
      {"time", arguments.time != nullptr ? nlohmann::json(arguments.time) : nlohmann::json()},
      {"base", installed.versionText},
      {"delete", plan.deleteAll ? nlohmann::json(deletes) : nlohmann::json(plan.deletes.size())},
      {"update", plan.updates.size()},
      {"deletes", Names(plan.deletes)},
      {"updates", Names(plan.updates)},
      {"bytes", plan.bytes},
      {"checksums", arguments.checksums},
      {"notes", plan.notes}};
  printf("%s\n", out.dump().c_str());
}

int Refuse(const std::string& reason) {
  fprintf(stderr, "nimbora-package make: %s\n", reason.c_str());
  return kToolUsageStatus;
}

struct Settings {
  bool differ;                           // NEW's from OLD's
  bool compared;                         // after the run; not when OLD has no main.ini to keep
  std::vector<std::u16string> expected;  // what main.ini then holds
};

bool ReadSettings(const MakeArguments& arguments, const MakeTree& oldTree, Settings* settings,
                  std::string* error) {
  HostTree oldHost;
  HostTree newHost;
  if (!OpenHostTree(arguments.oldDir, &oldHost, error) || !OpenHostTree(arguments.newDir, &newHost, error)) {
    return false;
  }
  std::u16string path = u"\\" + LastName(kInstalledStatePath);
  std::vector<std::u16string> old = SettingsLines(&oldHost.fileSystem, path);
  std::vector<std::u16string> fresh = SettingsLines(&newHost.fileSystem, path);
  // A panel without main.ini gets one holding only what the run records.
  bool kept = FindEntry(oldTree, path.substr(1)) >= 0;
  *settings =
      Settings{old != fresh, arguments.replaceSettings || kept, arguments.replaceSettings ? fresh : old};
  return true;
}

int Failed(const std::string& staging, const std::string& reason, int status) {
  std::error_code failure;
  if (!staging.empty()) fs::remove_all(staging, failure);
  fprintf(stderr, "nimbora-package make: %s; no package written\n", reason.c_str());
  return status;
}

}  // namespace

int RunMake(const MakeArguments& arguments) {
  std::string reason;
  VersionNumber version;
  UpdateTime time;
  if (!ValuesReadAsWritten(arguments, &version, &time, &reason) || !OutPlaced(arguments, &reason)) {
    return Refuse(reason);
  }
  MakeTree oldTree;
  MakeTree newTree;
  if (!ReadMakeTree(arguments.oldDir, "OLD", &oldTree, &reason) ||
      !ReadMakeTree(arguments.newDir, "NEW", &newTree, &reason)) {
    return Refuse(reason);
  }
  std::u16string settingsName = LastName(kInstalledStatePath);
  if (FindEntry(newTree, settingsName) < 0) {
    return Refuse("NEW has no " + Utf8(settingsName) + ": a panel needs one to tell its version");
  }
  Installed installed;
  Settings settings;
  if (!ReadInstalled(arguments.oldDir, &installed, &reason) ||
      !IsNewer(arguments, version, time, installed, &reason) ||
      !ReadSettings(arguments, oldTree, &settings, &reason)) {
    return Refuse(reason);
  }
  MakePlan plan;
  MakeChoices choices{arguments.deleteDatabase, arguments.replaceSettings};
  if (!PlanPackage(oldTree, newTree, choices, settings.differ, &plan, &reason)) return Refuse(reason);
  std::string staging;
  if (!MakeStaging(arguments, &staging, &reason) ||
      !WritePackage(arguments, newTree, plan, Description(arguments, installed, plan), staging, &reason)) {
    return Failed(staging, reason, kToolUsageStatus);
  }
  std::vector<std::string> differences;
  Verification verification{arguments.oldDir, staging,
                            oldTree,          newTree,
                            plan.sameAsOld,   settings.compared ? &settings.expected : nullptr};
  if (!VerifyPackage(verification, &differences, &reason)) {
    return Failed(staging, reason, kToolUsageStatus);
  }
  for (const std::string& difference : differences) {
    fprintf(stderr, "nimbora-package make: verification: %s\n", difference.c_str());
  }
  if (!differences.empty()) return Failed(staging, "the package does not turn OLD into NEW", 1);
  if (!PutInPlace(staging, arguments.outDir, &reason)) return Failed(staging, reason, kToolUsageStatus);
  Print(arguments, installed, plan);
  return 0;
}

}  // namespace nimbora
