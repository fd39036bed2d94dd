// check's findings about the Delete and Update lists and the package's
// names: each entry judged as the device takes its path, before the run.
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "base/wide_string.h"
#include "package/package_format.h"
#include "package/path_join.h"
#include "platform/device_locations.h"
#include "platform/device_names.h"
#include "platform/host/host_platform.h"
#include "profile/profile_reader.h"
#include "check_description.h"
#include "package_tool.h"
#include "progress_line.h"

namespace nimbora {

bool ResolveDevicePath(const std::u16string& path, std::u16string* resolved) {
  std::vector<std::u16string> names;
  const char16_t* cursor = path.c_str();
  const char16_t* component;
  int length;
  while (NextPathComponent(&cursor, &component, &length)) {
    const char16_t* rest = cursor;
    while (IsPathSeparator(*rest)) ++rest;
    int kept = 0;
    PathStep step = StepOfComponent(component, length, *rest == 0, &kept);
    if (step == PathStep::TooLong) return false;
    if (step == PathStep::Up && !names.empty()) names.pop_back();
    if (step == PathStep::Name) names.emplace_back(component, static_cast<size_t>(kept));
  }
  resolved->clear();
  for (const std::u16string& name : names) {
    if (!resolved->empty()) resolved->push_back(u'\\');
    resolved->append(name);
  }
  return true;
}

std::u16string PathKey(const std::u16string& path) {
  std::u16string key;
  if (!ResolveDevicePath(path, &key)) key = path;
  for (char16_t& c : key) c = FoldCase(c);
  return key;
}

bool IsWithin(const std::u16string& a, const std::u16string& b) {
  if (b.empty() || Same(a, b)) return true;
  return a.size() > b.size() && a[b.size()] == u'\\' && Same(a.substr(0, b.size()), b);
}

EntryKind KindAt(FileSystem* fileSystem, const std::u16string& devicePath) {
  std::u16string resolved;
  if (!ResolveDevicePath(devicePath, &resolved)) return EntryKind::None;
  if (resolved.empty()) return EntryKind::Directory;
  std::u16string path(1, u'\\');
  path.append(resolved);
  DirectoryEntry entry;
  Search* search = fileSystem->findFirst(fileSystem, path.c_str(), &entry);
  if (search == nullptr) return EntryKind::None;
  fileSystem->findClose(fileSystem, search);
  return (entry.attributes & kAttributeDirectory) != 0 ? EntryKind::Directory : EntryKind::File;
}

namespace {

bool Fits(const std::u16string& entry, const std::u16string& directory) {
  char16_t joined[kPathCapacity];
  return JoinPath(joined, directory.c_str(), entry.c_str()) != 0;
}

std::u16string Resolved(const std::u16string& path) {
  std::u16string resolved;
  ResolveDevicePath(path, &resolved);
  return resolved;
}

// Where the entry leads: the whole application directory (or above it),
// outside the directory it is relative to, or within.
enum class Reach { Within, Outside, WholeApplication };

Reach ReachOf(const std::u16string& entry, const std::u16string& base, bool deleting) {
  std::u16string application = Resolved(kApplicationDirectory);
  std::u16string resolved = Resolved(base + entry);
  if (deleting && EndsWithSeparator(entry.c_str()) && IsWithin(application, resolved)) {
    return Reach::WholeApplication;
  }
  if (entry.find(u':') != std::u16string::npos || !IsWithin(resolved, Resolved(base))) return Reach::Outside;
  if (!deleting && !IsWithin(Resolved(kApplicationDirectory + entry), application)) return Reach::Outside;
  return Reach::Within;
}

void CheckEntryKind(Description* package, const char16_t* section, const std::u16string& key,
                    const std::u16string& entry, const std::string& name) {
  bool deleting = Same(section, kDeleteSection);
  std::u16string base = deleting ? std::u16string(kApplicationDirectory) : package->packageDirectory;
  bool whole = deleting && IsWithin(Resolved(kApplicationDirectory), Resolved(base + entry));
  // Delete entries name what the panel holds: without a device, nothing to look at.
  FileSystem* tree = deleting ? package->device : package->fileSystem;
  if (!whole && tree == nullptr) return;
  EntryKind kind = whole ? EntryKind::None : KindAt(tree, base + entry);
  bool directory = EndsWithSeparator(entry.c_str());
  std::string where = deleting ? "application directory" : "package";
  if (whole) {
    AddAt(package, Severity::Warning, "directory-without-backslash",
          name + ": names the application directory itself without a final backslash, so nothing is deleted "
                 "(with one it would delete the whole application directory)",
          section, key, entry);
  } else if (kind == EntryKind::None) {
    AddAt(package, Severity::Warning, "entry-names-nothing", name + ": names nothing in the " + where, section, key,
          entry);
  } else if (kind == EntryKind::Directory && !directory) {
    AddAt(package, Severity::Warning, "directory-without-backslash",
          name + ": names a directory of the " + where + " without the final backslash, so it is taken as a file and " +
              (deleting ? "nothing is deleted" : "its copy fails") + "; write " + Utf8(entry) + "\\",
          section, key, entry);
  } else if (kind == EntryKind::File && directory) {
    AddAt(package, Severity::Warning, "file-with-backslash",
          name + ": names a file of the " + where + " with a final backslash, so it is taken as a directory and " +
              (deleting ? "nothing is deleted" : "nothing is copied") + "; leave out the backslash",
          section, key, entry);
  }
}

void CheckEntry(Description* package, const char16_t* section, int index, const std::u16string& entry) {
  char16_t key[32];
  WideFormat(key, 32, u"%s%d", kEntryPrefix, index);
  std::string name = Utf8(section) + " " + Utf8(key) + "=" + Utf8(entry);
  bool deleting = Same(section, kDeleteSection);
  Reach reach = Reach::Within;
  bool fits = Fits(entry, kApplicationDirectory);
  for (const std::u16string& placement : package->placements) {
    Reach here = ReachOf(entry, deleting ? std::u16string(kApplicationDirectory) : placement, deleting);
    if (reach == Reach::Within) reach = here;
    fits = fits && Fits(entry, placement);
  }
  if (reach == Reach::WholeApplication) {
    AddAt(package, Severity::Error, "deletes-application",
          name + ": deletes the whole application directory (main.ini, Database, Nimbora.exe ...)", section, key,
          entry);
  } else if (reach == Reach::Outside) {
    AddAt(package, Severity::Error, "entry-outside",
          name + ": reaches outside the " +
              (deleting ? "application directory" : "package or the application directory") +
              " (\"..\" or a drive)",
          section, key, entry);
  } else if (!fits || WideLength(key) + 1 + static_cast<int>(entry.size()) >= kProfileLineCapacity - 1) {
    AddAt(package, Severity::Error, "entry-too-long",
          name + ": the line or the joined path does not fit; it is skipped", section, key, entry);
  } else {
    CheckEntryKind(package, section, key, entry, name);
  }
}

std::string IndexList(const std::vector<int>& indexes) {
  std::string text;
  for (int index : indexes) text += (text.empty() ? "" : ", ") + Utf8(kEntryPrefix) + std::to_string(index);
  return text;
}

}  // namespace

// The list's entries as the logic finds them, and whether a count runs past them.
void CheckList(Description* package, const char16_t* section) {
  std::u16string value = FindEntry(package->lines, kMainSection, section).value;
  int count = WideToInt(value.c_str());
  if (Same(value, kAllKeyword) || count <= 0) return;
  std::vector<int> present;
  int firstMissing = 0;
  std::map<int, DescriptionEntry> entries = ListEntries(package->lines, section);
  long long done = 0;
  for (const auto& [index, entry] : entries) {
    ShowProgress("checking entries", ++done, static_cast<long long>(entries.size()));
    if (index > count) break;
    if (entry.value.empty()) continue;
    int expected = present.empty() ? 1 : present.back() + 1;
    if (firstMissing == 0 && index != expected) firstMissing = expected;
    present.push_back(index);
    CheckEntry(package, section, index, entry.value);
  }
  EndProgress();
  if (firstMissing == 0 && (present.empty() ? 0 : present.back()) < count) {
    firstMissing = present.empty() ? 1 : present.back() + 1;
  }
  if (firstMissing == 0) return;
  char16_t missing[32];
  WideFormat(missing, 32, u"%s%d", kEntryPrefix, firstMissing);
  std::string head = Utf8(section) + "=" + Utf8(value) + " but " + Utf8(missing) + " is missing";
  if (Same(section, kUpdateSection)) {
    AddAt(package, Severity::Error, "list-stops-early", head + ": the copy counts as failed", kMainSection, section);
    return;
  }
  std::vector<int> unreached;
  for (int index : present) {
    if (index > firstMissing) unreached.push_back(index);
  }
  if (!unreached.empty()) {
    AddAt(package, Severity::Error, "list-stops-early",
          head + ": the list stops there, " + IndexList(unreached) + " never reached", kMainSection, section);
  } else {
    AddAt(package, Severity::Note, "count-beyond-entries", head + ": the list ends there", kMainSection, section);
  }
}

void CheckUpdaterListed(Description* package, const std::string& outcome) {
  std::u16string updater = PathKey(std::u16string(kApplicationDirectory) + kUpdaterName);
  for (const auto& [index, entry] : ListEntries(package->lines, kUpdateSection)) {
    if (PathKey(std::u16string(kApplicationDirectory) + entry.value) != updater) continue;
    char16_t key[32];
    WideFormat(key, 32, u"%s%d", kEntryPrefix, index);
    AddAt(package, Severity::Warning, "update-exe-listed",
          Utf8(kUpdateSection) + " " + Utf8(key) + "=" + Utf8(entry.value) + ": " + outcome +
              "; only \"Update\" = \"all\" forgives a failed copy of " + Utf8(kUpdaterName),
          kUpdateSection, key, entry.value);
    return;
  }
}

// A host name that is no device name is a file the panel never has.
void CheckHostNames(Description* package) {
  std::error_code error;
  std::filesystem::recursive_directory_iterator entry(package->hostDirectory, error), end;
  for (; !error && entry != end; entry.increment(error)) {
    if (IsDeviceName(entry->path().filename().c_str())) continue;
    Add(package, Severity::Error, "name-not-on-device",
        entry->path().string() + ": a name with a backslash cannot be on the panel; the run never sees it");
    entry.disable_recursion_pending();
  }
}

// The card's file system keeps one of two names that differ only in case.
void CheckNamesDifferingInCase(Description* package) {
  std::map<std::pair<std::string, std::u16string>, std::string> seen;
  std::filesystem::path root = package->hostDirectory;
  std::error_code error;
  std::filesystem::recursive_directory_iterator entry(root, error), end;
  for (; !error && entry != end; entry.increment(error)) {
    std::u16string folded = Wide(entry->path().filename().string());
    for (char16_t& c : folded) c = FoldCase(c);
    std::string relative = entry->path().lexically_relative(root).generic_string();
    auto [at, added] = seen.emplace(std::make_pair(entry->path().parent_path().string(), folded), relative);
    if (added) continue;
    Add(package, Severity::Warning, "names-differ-in-case",
        at->second + " and " + relative + " differ only in letter case: the card keeps one of them");
  }
}

}  // namespace nimbora
