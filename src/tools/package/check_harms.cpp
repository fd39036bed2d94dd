// check's findings about what the run did to the panel: its settings, its
// database, the application directory, and the package's files it left.
#include <string>
#include <unordered_set>
#include <vector>

#include "base/wide_string.h"
#include "display/status_screen.h"
#include "package/package_checksums.h"
#include "package/package_format.h"
#include "platform/device_locations.h"
#include "profile/profile_reader.h"
#include "profile/profile_syntax.h"
#include "check_context.h"

namespace nimbora {

std::vector<Setting> ReadSettings(FileSystem* fileSystem, const char16_t* path) {
  std::vector<Setting> settings;
  std::vector<DescriptionLine> lines = ReadDescriptionLines(fileSystem, path);
  for (const std::u16string& section : ProfileSections(fileSystem, path)) {
    int header = SectionHeader(lines, section.c_str());
    for (size_t i = static_cast<size_t>(header + 1); header >= 0 && i < lines.size(); ++i) {
      const std::u16string& line = lines[i].text;
      if (IsHeader(line.c_str())) break;
      size_t equals = line.find(u'=');
      if (IsIgnoredLine(line.c_str()) || equals == std::u16string::npos || equals == 0) continue;
      std::u16string key = line.substr(0, equals);
      bool known = false;
      for (const Setting& setting : settings) {
        known = known || (Same(setting.section, section) && Same(setting.key, key));
      }
      if (known) continue;
      char16_t value[kPathCapacity];
      ReadProfileString(section.c_str(), key.c_str(), u"", value, kPathCapacity, path);
      settings.push_back(Setting{section, key, value});
    }
  }
  return settings;
}

namespace {

// The run records these itself.
bool IsRunRecord(const Setting& setting) {
  return Same(setting.section, kMainSection) &&
         (Same(setting.key, kVersionKey) || Same(setting.key, kUpdateTimeKey));
}

std::string ChangeText(const SettingChange& change) {
  return "[" + Utf8(change.section) + "] " + Utf8(change.key) + " \"" + Utf8(change.before) + "\" -> " +
         (change.kept ? "\"" + Utf8(change.after) + "\"" : "gone");
}

}  // namespace

void CheckSettings(Check* check) {
  if (!check->settingsReplaced && !check->settingsDeleted) return;
  std::vector<Setting> after = ReadSettings(check->device, kInstalledStatePath);
  for (const Setting& before : check->settingsBefore) {
    if (IsRunRecord(before)) continue;
    SettingChange change{before.section, before.key, before.value, false, u""};
    for (const Setting& now : after) {
      if (!Same(now.section, before.section) || !Same(now.key, before.key)) continue;
      change.kept = true;
      change.after = now.value;
    }
    if (!change.kept || change.after != change.before) check->settingChanges.push_back(change);
  }
  if (check->settingChanges.empty()) return;
  std::string list;
  for (const SettingChange& change : check->settingChanges) list += (list.empty() ? "" : ", ") + ChangeText(change);
  if (check->settingsReplaced) {
    Add(check, Severity::Error, "settings-replaced",
        "the package's main.ini replaces the panel's, whose own settings change: " + list);
  } else {
    Add(check, Severity::Error, "settings-lost",
        "main.ini is deleted and nothing brings it back; the run records only Version and Update Time, so the "
        "panel loses: " + list);
  }
}

// Anything below Database\ deleted or replaced.
void CheckDatabase(Check* check) {
  std::u16string database = PathKey(std::u16string(kApplicationDirectory) + kDatabaseName);
  std::vector<std::string> names;
  bool onlyParam = true;
  auto note = [&](const std::u16string& path, const char* what) {
    std::u16string key = PathKey(path);
    std::u16string spelled;
    if (!IsWithin(key, database) || !ResolveDevicePath(path, &spelled)) return;
    names.push_back(Utf8(spelled.substr(database.size() - WideLength(kDatabaseName))) + " (" + what + ")");
    onlyParam = onlyParam && key == PathKey(std::u16string(kApplicationDirectory) + kParamPath);
  };
  for (const std::u16string& path : check->deletes) note(path, "deleted");
  for (const Copy& copy : check->copies) {
    if (copy.replaces) note(copy.to, "replaced");
  }
  if (names.empty()) return;
  std::string list;
  for (const std::string& name : names) list += (list.empty() ? "" : ", ") + name;
  bool deleteAll = Same(MainValue(*check, kDeleteKey, u"0"), kAllKeyword);
  bool deliberate = Same(MainValue(*check, kDeleteDatabaseKey, u"false"), kTrueKeyword) ||
                    (deleteAll && onlyParam && Same(MainValue(*check, kDeleteParamKey, u"false"), kTrueKeyword));
  if (deliberate) {
    Add(check, Severity::Warning, "database-changed-deliberately",
        "the panel's database is changed on purpose (\"DeleteDatabase\" or \"DeleteParam\" is true): " + list);
  } else {
    Add(check, Severity::Error, "database-changed",
        "the panel's database is changed without \"DeleteDatabase\" = true: " + list);
  }
}

// What the run did, whatever the entry says: a listed delete that removed
// the application directory or a directory above it.
void CheckApplicationDeleted(Check* check) {
  for (const Finding& finding : check->package.findings) {
    if (std::string(finding.code) == "deletes-application") return;
  }
  if (Same(MainValue(*check, kDeleteKey, u"0"), kAllKeyword)) return;
  std::u16string application = PathKey(kApplicationDirectory);
  for (const OverlayChange& change : check->run.changes) {
    if (change.kind != OverlayChangeKind::RemoveDirectory || !IsWithin(application, PathKey(change.path))) continue;
    Add(check, Severity::Error, "deletes-application",
        "the delete step removes " + Utf8(change.path) +
            ": it deletes the whole application directory (main.ini, Database, Nimbora.exe ...)");
    return;
  }
}

// Files of an applied package that no copy took, a failed copy's included:
// its failure is a finding of its own.
void CheckNeverCopied(Check* check) {
  if (!check->applied) return;
  std::unordered_set<std::u16string> sources;
  for (const OverlayChange& change : check->run.changes) {
    if (change.kind == OverlayChangeKind::CopyFile) sources.insert(PathKey(change.path));
  }
  std::string names;
  for (const std::u16string& file : check->packageFiles) {
    if (file.back() == u'\\' || Same(file, kPackageDescriptionName) || Same(file, kChecksumListName)) continue;
    if (sources.count(PathKey(check->package.packageDirectory + file)) != 0) continue;
    names += (names.empty() ? "" : ", ") + Utf8(file);
  }
  if (!names.empty()) {
    Add(check, Severity::Warning, "files-never-copied", "package files the Update list never copies: " + names);
  }
}

// The running Updater listed for a copy: a listed file's failure is not
// forgiven as it is when the whole package is copied.
void CheckUpdaterListed(Check* check) {
  std::u16string updater = PathKey(std::u16string(kApplicationDirectory) + kUpdaterName);
  const OverlayChange* last = nullptr;
  for (const OverlayChange& change : check->run.changes) {
    if (change.kind == OverlayChangeKind::CopyFile && PathKey(change.target) == updater) last = &change;
  }
  CheckUpdaterListed(&check->package,
                     last == nullptr || last->error == 0
                         ? "here the copy succeeds; on a panel where the running Updater cannot be "
                           "overwritten, the copy fails and the panel shows the failure text"
                         : "the copy fails (device error " + std::to_string(last->error) +
                               ") and the panel shows the failure text");
}

// A Language.ini the package brings without the panel's language.
void CheckNewLanguageFile(Check* check) {
  Language language;
  ChooseLanguage(&language);
  std::u16string texts = PathKey(language.textsPath);
  bool copied = false;
  for (const Copy& copy : check->copies) copied = copied || PathKey(copy.to) == texts;
  if (!copied) return;
  for (const std::u16string& section : ProfileSections(check->device, language.textsPath)) {
    if (Same(section, language.name)) return;
  }
  Add(check, Severity::Warning, "language-missing",
      "the package's Language.ini has no section [" + Utf8(language.name) +
          "], the panel's language: the panel shows its built-in English texts");
}

}  // namespace nimbora
