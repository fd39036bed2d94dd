// nimbora-package's summary of a package: its values read by the logic's
// reader and parsers, its lists resolved against the package, its checksum
// list checked by the panel's own check, and check's findings that need no device.
#include "package_summary.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unordered_set>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/wide_string.h"
#include "control/package_selection.h"
#include "package/directory_entries.h"
#include "package/listed_indexes.h"
#include "package/package_checksums.h"
#include "package/package_format.h"
#include "platform/device_locations.h"
#include "platform/host/host_platform.h"
#include "profile/profile_reader.h"
#include "profile/profile_syntax.h"
#include "version/version_values.h"
#include "package_checksum_list.h"
#include "check_description.h"
#include "package_tool.h"
#include "progress_line.h"
#include "package_base.h"

namespace nimbora {

namespace {

using Json = nlohmann::ordered_json;

const std::u16string kRoot = u"\\";  // the package directory in its own tree

// A numbered list's instruction as the panel reads it: "all", or the entries
// present among file1 .. file<count>, in order.
struct ListedEntry {
  int index;
  std::u16string entry;
};
struct ListInstruction {
  std::u16string value;  // the instruction's value as read
  bool all;
  int count;
  std::vector<ListedEntry> entries;
};

// Where an entry leads in the package: the kind of thing there and its
// bytes (a directory's: what a copy of it takes), and its path relative to
// the package as the package's listing spells it (empty when not found).
struct Resolved {
  const char* state;  // "file", "directory", "missing", or "on the panel" for Delete entries
  long long bytes;    // -1 when there is nothing to count
  std::u16string path;
};

struct Entry {
  ListedEntry listed;
  Resolved resolved;
};

struct List {
  ListInstruction instruction;
  std::vector<Entry> entries;
};

struct Summary {
  FileSystem* package;
  std::string directory;
  std::string hostRoot;  // the directory's real path, as the package's file system maps onto it
  VersionNumber version;
  UpdateTime time;
  std::string base;
  List deletes;
  bool deletesDatabase;
  bool deletesParam;
  List updates;
  std::vector<std::u16string> neverCopied;
  std::string checksumList;
  std::vector<Finding> findings;
};

long long FileBytes(FileSystem* fileSystem, const std::u16string& path) {
  Stream* stream = fileSystem->open(fileSystem, path.c_str(), u"r");
  if (stream == nullptr) return -1;
  long long bytes = fileSystem->seek(fileSystem, stream, 0, kSeekEnd) ? fileSystem->tell(fileSystem, stream) : -1;
  fileSystem->close(fileSystem, stream);
  return bytes;
}

// Calls visit for every entry of a directory but "." and "..".
template <typename Visit>
void ForEachEntry(FileSystem* fileSystem, const std::u16string& directory, Visit visit) {
  DirectoryEntry entry;
  Search* search = fileSystem->findFirst(fileSystem, (directory + kEveryEntry).c_str(), &entry);
  if (search == nullptr) return;
  do {
    if (std::u16string(entry.name) != u"." && std::u16string(entry.name) != u"..") visit(entry);
  } while (fileSystem->findNext(fileSystem, search, &entry));
  fileSystem->findClose(fileSystem, search);
}

// What a copy of the directory takes: its files, names passed over aside.
long long TreeBytes(FileSystem* fileSystem, const std::u16string& directory) {
  long long bytes = 0;
  ForEachEntry(fileSystem, directory, [&](const DirectoryEntry& entry) {
    if (IsPassedOver(entry)) return;
    std::u16string path = directory + entry.name;
    bytes += IsDirectory(entry) ? TreeBytes(fileSystem, path + u"\\") : std::max(0LL, FileBytes(fileSystem, path));
  });
  return bytes;
}

// The entry mapped onto the package's host tree by the device's rules for
// path names, so the path is spelled as the package's listing spells it.
Resolved Resolve(FileSystem* fileSystem, const std::string& hostRoot, const std::u16string& entry) {
  char mapped[kHostPathCapacity];
  struct stat status {};
  if (!MapDevicePath(hostRoot.c_str(), (kRoot + entry).c_str(), mapped, sizeof mapped) ||
      lstat(mapped, &status) != 0 || std::string(mapped).size() <= hostRoot.size()) {
    return Resolved{"missing", -1, u""};
  }
  std::u16string path = Wide(std::string(mapped).substr(hostRoot.size() + 1));
  std::replace(path.begin(), path.end(), u'/', u'\\');
  if (S_ISDIR(status.st_mode)) return Resolved{"directory", TreeBytes(fileSystem, kRoot + path + u"\\"), path + u"\\"};
  return Resolved{"file", FileBytes(fileSystem, kRoot + path), path};
}

// Read through the logic's reader, with the package's file system installed.
ListInstruction ReadListInstruction(const std::u16string& description, const char16_t* section) {
  char16_t value[kPathCapacity];
  ReadProfileString(kMainSection, section, u"0", value, kMainValueCapacity, description.c_str());
  ListInstruction list{value, Same(value, kAllKeyword), 0, {}};
  list.count = list.all ? 0 : WideToInt(value);
  const char16_t* path = description.c_str();
  for (int index = NextListedIndex(kEntryPrefix, 0, path); index != 0 && index <= list.count;
       index = NextListedIndex(kEntryPrefix, index, path)) {
    char16_t key[32];
    WideFormat(key, 32, u"%s%d", kEntryPrefix, index);
    char16_t entry[kPathCapacity];
    if (ReadProfileString(section, key, u"", entry, kPathCapacity, path) > 0) {
      list.entries.push_back(ListedEntry{index, entry});
    }
  }
  return list;
}

List ReadList(Summary* summary, const char16_t* section) {
  List list{ReadListInstruction(kRoot + kPackageDescriptionName, section), {}};
  bool onThePanel = Same(section, kDeleteSection);
  for (const ListedEntry& listed : list.instruction.entries) {
    list.entries.push_back(Entry{listed, onThePanel ? Resolved{"on the panel", -1, u""}
                                                    : Resolve(summary->package, summary->hostRoot, listed.entry)});
  }
  return list;
}

bool MainFlag(const std::u16string& description, const char16_t* key) {
  char16_t value[kPathCapacity];
  ReadProfileString(kMainSection, key, u"false", value, kMainValueCapacity, description.c_str());
  return Same(value, kTrueKeyword);
}

// The files and directories the Update instruction copies, by their listed spelling.
struct Copied {
  bool whole;
  std::unordered_set<std::u16string> files;
  std::unordered_set<std::u16string> directories;
};

// Files below relative that no copy takes. A whole copy (Update = all, or a
// listed directory) passes over names beginning with a full stop below it.
void FindNeverCopied(FileSystem* fileSystem, const std::u16string& relative, bool takenWhole, const Copied& copied,
                     std::vector<std::u16string>* never) {
  ForEachEntry(fileSystem, kRoot + relative, [&](const DirectoryEntry& entry) {
    std::u16string path = relative + entry.name;
    bool taken = takenWhole && !IsPassedOver(entry);
    if (IsDirectory(entry)) {
      FindNeverCopied(fileSystem, path + u"\\", taken || copied.directories.count(path + u"\\") != 0, copied, never);
    } else if (!taken && copied.files.count(path) == 0 &&
               !(relative.empty() && (Same(path, kPackageDescriptionName) || Same(path, kChecksumListName)))) {
      never->push_back(path);
    }
  });
}

std::vector<std::u16string> NeverCopied(const Summary& summary) {
  Copied copied{summary.updates.instruction.all, {}, {}};
  for (const Entry& entry : summary.updates.entries) {
    if (entry.resolved.path.empty()) continue;
    bool directoryEntry = IsPathSeparator(entry.listed.entry.back());
    if (directoryEntry && std::string(entry.resolved.state) == "directory") copied.directories.insert(entry.resolved.path);
    if (!directoryEntry && std::string(entry.resolved.state) == "file") copied.files.insert(entry.resolved.path);
  }
  std::vector<std::u16string> never;
  FindNeverCopied(summary.package, u"", copied.whole, copied, &never);
  return never;
}

// The file system of the package with its reads counted, for the progress line.
struct CountingFileSystem {
  FileSystem fileSystem;  // first, so that a call's self leads back here
  FileSystem* counted;
  long long done;
  long long total;
};

size_t CountingRead(FileSystem* self, Stream* stream, void* buffer, size_t size) {
  CountingFileSystem* counting = reinterpret_cast<CountingFileSystem*>(self);
  size_t got = counting->counted->read(self, stream, buffer, size);
  counting->done += static_cast<long long>(got);
  ShowProgress("checking update.sha256:", counting->done, counting->total);
  return got;
}

long long HostBytes(const std::string& directory) {
  long long bytes = 0;
  std::error_code error;
  for (std::filesystem::recursive_directory_iterator entry(directory, error), end; !error && entry != end;
       entry.increment(error)) {
    if (entry->is_regular_file(error)) bytes += static_cast<long long>(entry->file_size(error));
  }
  return bytes;
}

// The device's check, with a progress line while it reads the package.
void CheckList(Summary* summary) {
  // The same state: every other operation of the package's file system runs unchanged on it.
  CountingFileSystem counting{*summary->package, summary->package, 0, HostBytes(summary->directory)};
  counting.fileSystem.read = CountingRead;
  FileSystem* previous = CurrentFileSystem();
  UseFileSystem(&counting.fileSystem);
  std::vector<ChecksumFinding> found = CheckChecksumList(&counting.fileSystem, kRoot);
  UseFileSystem(previous);
  EndProgress();
  bool absent = found.size() == 1 && std::string(found[0].severity) == "note";
  summary->checksumList = absent ? "absent" : found.empty() ? "holds" : "does not hold";
  for (const ChecksumFinding& finding : found) {
    summary->findings.push_back(Finding{SeverityNamed(finding.severity), finding.code, finding.message, "", "", 0, ""});
  }
}

void ReadSummary(Summary* summary) {
  FileSystem* previous = CurrentFileSystem();
  UseFileSystem(summary->package);
  std::u16string description = kRoot + kPackageDescriptionName;
  // Against nothing installed, so the panel's own reading of the values.
  VersionNumber none{};
  UpdateTime never{};
  IsPackageApplicable(description.c_str(), &none, &never, &summary->version, &summary->time);
  summary->deletes = ReadList(summary, kDeleteSection);
  summary->deletesDatabase = summary->deletes.instruction.all && MainFlag(description, kDeleteDatabaseKey);
  summary->deletesParam =
      summary->deletes.instruction.all && (summary->deletesDatabase || MainFlag(description, kDeleteParamKey));
  summary->updates = ReadList(summary, kUpdateSection);
  summary->base = Utf8(ReadPackageBase(summary->package, kRoot + kPackageDescriptionName).value_or(u""));
  UseFileSystem(previous);
  summary->neverCopied = NeverCopied(*summary);
  summary->findings = DescriptionFindings(summary->package, kRoot, summary->directory);
  CheckList(summary);
}

int Count(const Summary& summary, const std::string& severity) {
  int count = 0;
  for (const Finding& finding : summary.findings) count += severity == SeverityName(finding.severity);
  return count;
}

std::string DeleteAllText(const Summary& summary) {
  if (summary.deletesDatabase) return "all, Database\\ included";
  return summary.deletesParam ? "all, Database\\ kept but Database\\Param.dat" : "all, Database\\ kept";
}

void PrintList(const char* name, const List& list, const std::string& allText) {
  const ListInstruction& instruction = list.instruction;
  if (instruction.all) {
    printf("%s: %s\n", name, allText.c_str());
  } else if (instruction.count <= 0) {
    printf("%s: nothing\n", name);
  } else {
    printf("%s: %d listed, %zu present\n", name, instruction.count, list.entries.size());
  }
  for (const Entry& entry : list.entries) {
    printf("  %s%d %s: %s", Utf8(kEntryPrefix).c_str(), entry.listed.index, Utf8(entry.listed.entry).c_str(),
           entry.resolved.state);
    if (entry.resolved.bytes >= 0) printf(", %lld bytes", entry.resolved.bytes);
    printf("\n");
  }
}

void PrintText(const Summary& summary) {
  printf("Package %s\n", summary.directory.c_str());
  printf("Version:     %s\n", VersionText(summary.version).c_str());
  printf("Update Time: %s\n", summary.time.year == 0 ? "none" : TimeText(summary.time).c_str());
  printf("Base:        %s\n", summary.base.empty() ? "not recorded" : summary.base.c_str());
  PrintList("Delete", summary.deletes, DeleteAllText(summary));
  PrintList("Update", summary.updates, "all, the whole package");
  printf("Never copied:%s\n", summary.neverCopied.empty() ? " none" : "");
  for (const std::u16string& file : summary.neverCopied) printf("  %s\n", Utf8(file).c_str());
  printf("%s: %s\n", Utf8(kChecksumListName).c_str(), summary.checksumList.c_str());
  printf("Findings:%s\n", summary.findings.empty() ? " none" : "");
  for (const Finding& finding : summary.findings) {
    printf("  %s %s: %s\n", SeverityName(finding.severity), finding.code, finding.message.c_str());
  }
  printf("%d error(s)\n", Count(summary, "error"));
}

Json OrNull(const std::string& text) { return text.empty() ? Json() : Json(text); }

Json ListJson(const List& list) {
  Json entries = Json::array();
  for (const Entry& entry : list.entries) {
    entries.push_back({{"index", entry.listed.index},
                       {"key", Utf8(kEntryPrefix) + std::to_string(entry.listed.index)},
                       {"entry", Utf8(entry.listed.entry)},
                       {"state", entry.resolved.state},
                       {"bytes", entry.resolved.bytes < 0 ? Json() : Json(entry.resolved.bytes)}});
  }
  return Json{{"all", list.instruction.all}, {"count", list.instruction.count}, {"entries", entries}};
}

void PrintJson(const Summary& summary) {
  Json deletes = ListJson(summary.deletes);
  deletes["database"] = summary.deletesDatabase;
  deletes["param"] = summary.deletesParam;
  Json never = Json::array();
  for (const std::u16string& file : summary.neverCopied) never.push_back(Utf8(file));
  Json findings = Json::array();
  for (const Finding& finding : summary.findings) {
    findings.push_back({{"severity", SeverityName(finding.severity)},
                        {"code", finding.code},
                        {"message", finding.message},
                        {"key", OrNull(finding.section.empty() ? finding.key : finding.section + "/" + finding.key)},
                        {"line", finding.line == 0 ? Json() : Json(finding.line)},
                        {"entry", OrNull(finding.entry)}});
  }
  Json out{{"version", VersionText(summary.version)},
           {"time", summary.time.year == 0 ? Json() : Json(TimeText(summary.time))},
           {"base", OrNull(summary.base)},
           {"delete", deletes},
           {"update", ListJson(summary.updates)},
           {"neverCopied", never},
           {"checksumList", summary.checksumList},
           {"findings", findings},
           {"counts", {{"errors", Count(summary, "error")},
                       {"warnings", Count(summary, "warning")},
                       {"notes", Count(summary, "note")}}}};
  printf("%s\n", out.dump(1, ' ', false, Json::error_handler_t::replace).c_str());
}

}  // namespace

bool IsPackageDirectory(const char* packageDir, std::string* error) {
  HostTree tree;
  if (!OpenHostTree(packageDir, &tree, error)) return false;
  DirectoryEntry entry;
  Search* search = tree.fileSystem.findFirst(&tree.fileSystem, (kRoot + kPackageDescriptionName).c_str(), &entry);
  if (search != nullptr) tree.fileSystem.findClose(&tree.fileSystem, search);
  if (search != nullptr && !IsDirectory(entry)) return true;
  *error = std::string(packageDir) + ": " + Utf8(kPackageDescriptionName) + " not found";
  return false;
}

int RunSummary(const char* packageDir, bool json, std::string* error) {
  HostTree tree;
  if (!OpenHostTree(packageDir, &tree, error)) return kToolUsageStatus;
  Summary summary{};
  summary.package = &tree.fileSystem;
  summary.directory = packageDir;
  std::error_code failure;
  summary.hostRoot = std::filesystem::canonical(packageDir, failure).string();
  ReadSummary(&summary);
  if (json) {
    PrintJson(summary);
  } else {
    PrintText(summary);
  }
  return Count(summary, "error") > 0 ? 1 : 0;
}

}  // namespace nimbora
