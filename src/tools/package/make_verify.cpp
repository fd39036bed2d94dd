#include "make_verify.h"

#include <unordered_set>

#include "base/wide_string.h"
#include "make_plan.h"
#include "package/package_format.h"
#include "platform/device_locations.h"
#include "profile/profile_syntax.h"
#include "package_tool.h"

namespace nimbora {

namespace {

ReadBlock StreamBlocks(FileSystem* fileSystem, Stream* stream) {
  return [fileSystem, stream](char* block) -> long {
    size_t got = 0;
    while (got < kCompareBlock) {
      size_t read = fileSystem->read(fileSystem, stream, block + got, kCompareBlock - got);
      if (read == 0) break;
      got += read;
    }
    return static_cast<long>(got);
  };
}

bool SameAsNew(FileSystem* simulated, const std::u16string& path, const TreeEntry& entry, bool* same,
               std::string* error) {
  Stream* stream = simulated->open(simulated, path.c_str(), u"r");
  ReadBlock fresh = HostFileBlocks(entry.host, error);
  bool read = stream != nullptr && fresh && SameBlocks(StreamBlocks(simulated, stream), fresh, same);
  if (stream != nullptr) simulated->close(simulated, stream);
  if (!read && error->empty()) *error = "cannot read the simulated " + Utf8(path);
  return read;
}

std::u16string Folded(std::u16string path) {
  for (char16_t& c : path) c = FoldCase(c);
  return path;
}

// The files the run wrote, copied or moved: every other file of the result
// is OLD's own, shown through the overlay.
std::unordered_set<std::u16string> Touched(const std::vector<OverlayChange>& changes) {
  std::unordered_set<std::u16string> touched;
  for (const OverlayChange& change : changes) {
    if (change.error != 0) continue;
    if (change.kind == OverlayChangeKind::CopyFile || change.kind == OverlayChangeKind::MoveFile) {
      touched.insert(Folded(change.target));
    } else if (change.kind == OverlayChangeKind::WriteFile) {
      touched.insert(Folded(change.path));
    }
  }
  return touched;
}

struct Comparing {
  const Verification& verification;
  FileSystem* simulated;
  std::unordered_set<std::u16string> touched;
  std::vector<char> seen;
  std::vector<std::string>* differences;
};

// A file the run left alone is OLD's: read on the host, unless make found
// it equal to NEW's already.
bool SameAsOld(Comparing* c, const std::u16string& entry, int found, bool* same, std::string* error) {
  const Verification& v = c->verification;
  int old = FindEntry(v.oldTree, entry);
  if (old < 0) {
    *error = "the simulated " + Utf8(entry) + " comes from neither OLD nor the package";
    return false;
  }
  *same = v.sameAsOld[static_cast<size_t>(found)];
  return *same || SameContents(v.oldTree.entries[static_cast<size_t>(old)].host,
                               v.newTree.entries[static_cast<size_t>(found)].host, same, error);
}

bool CompareEntry(Comparing* c, std::u16string entry, std::string* error) {
  std::u16string path = kApplicationDirectory + entry;
  bool directory = entry.back() == u'\\';
  if (directory) entry.pop_back();
  const MakeTree& newTree = c->verification.newTree;
  int found = FindEntry(newTree, entry);
  const TreeEntry* fresh = found < 0 ? nullptr : &newTree.entries[static_cast<size_t>(found)];
  // main.ini keeps the panel's spelling unless NEW's replaces it.
  if (fresh == nullptr || fresh->directory != directory ||
      (fresh->path != entry && !IsSettingsFile(*fresh))) {
    c->differences->push_back(Utf8(entry) + " is left over");
    return true;
  }
  c->seen[static_cast<size_t>(found)] = 1;
  bool same = true;
  const std::vector<std::u16string>* settings = c->verification.settings;
  if (IsSettingsFile(*fresh)) {
    same = settings == nullptr || SettingsLines(c->simulated, path) == *settings;
  } else if (!directory) {
    bool read = c->touched.count(Folded(path)) == 0 ? SameAsOld(c, entry, found, &same, error)
                                                    : SameAsNew(c->simulated, path, *fresh, &same, error);
    if (!read) return false;
  }
  if (!same) c->differences->push_back(Utf8(entry) + " differs");
  return true;
}

}  // namespace

std::vector<std::u16string> SettingsLines(FileSystem* fileSystem, const std::u16string& path) {
  std::vector<std::u16string> lines;
  bool inMain = false;
  for (std::u16string line : ReadProfileLines(fileSystem, path.c_str())) {
    if (!line.empty() && line.back() == u'\n') line.pop_back();
    if (IsHeader(line.c_str())) inMain = IsHeaderOf(line.c_str(), kMainSection);
    bool recorded =
        inMain && (EntryValue(line.c_str(), kVersionKey) || EntryValue(line.c_str(), kUpdateTimeKey));
    if (!recorded && !IsIgnoredLine(line.c_str())) lines.push_back(line);
  }
  return lines;
}

bool VerifyPackage(const Verification& verification, std::vector<std::string>* differences,
                   std::string* error) {
  SimulatedDevice device;
  DeviceSetup setup{nullptr, verification.packageDir.c_str(), PackagePlace::Card, verification.oldDir};
  RunRecord record;
  if (!OpenSimulatedDevice(setup, &device, error)) return false;
  bool ran = RunUpdaterOn(&device, RunOptions{nullptr, nullptr, nullptr}, &record, error);
  const MakeTree& newTree = verification.newTree;
  Comparing comparing{verification, &device.overlay.fileSystem, Touched(record.changes),
                      std::vector<char>(newTree.entries.size()), differences};
  if (ran) {
    for (const std::u16string& entry : ListTree(comparing.simulated, kApplicationDirectory)) {
      if (!CompareEntry(&comparing, entry, error)) {
        ran = false;
        break;
      }
    }
  }
  CloseSimulatedDevice(&device);
  for (size_t i = 0; ran && i < newTree.entries.size(); ++i) {
    if (!comparing.seen[i]) differences->push_back(Utf8(newTree.entries[i].path) + " is missing");
  }
  return ran;
}

}  // namespace nimbora
