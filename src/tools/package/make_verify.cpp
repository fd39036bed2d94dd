#include "make_verify.h"

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

struct Comparing {
  FileSystem* simulated;
  const MakeTree& newTree;
  const std::vector<std::u16string>* settings;
  std::vector<char> seen;
  std::vector<std::string>* differences;
};

bool CompareEntry(Comparing* c, std::u16string entry, std::string* error) {
  std::u16string path = kApplicationDirectory + entry;
  bool directory = entry.back() == u'\\';
  if (directory) entry.pop_back();
  int found = FindEntry(c->newTree, entry);
  const TreeEntry* fresh = found < 0 ? nullptr : &c->newTree.entries[static_cast<size_t>(found)];
  // main.ini keeps the panel's spelling unless NEW's replaces it.
  if (fresh == nullptr || fresh->directory != directory || (fresh->path != entry && !IsSettingsFile(*fresh))) {
    c->differences->push_back(Utf8(entry) + " is left over");
    return true;
  }
  c->seen[static_cast<size_t>(found)] = 1;
  bool same = true;
  if (IsSettingsFile(*fresh)) {
    same = c->settings == nullptr || SettingsLines(c->simulated, path) == *c->settings;
  } else if (!directory && !SameAsNew(c->simulated, path, *fresh, &same, error)) {
    return false;
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
    bool recorded = inMain && (EntryValue(line.c_str(), kVersionKey) || EntryValue(line.c_str(), kUpdateTimeKey));
    if (!recorded && !IsIgnoredLine(line.c_str())) lines.push_back(line);
  }
  return lines;
}

bool VerifyPackage(const char* oldDir, const std::string& packageDir, const MakeTree& newTree,
                   const std::vector<std::u16string>* settings, std::vector<std::string>* differences,
                   std::string* error) {
  SimulatedDevice device;
  DeviceSetup setup{nullptr, packageDir.c_str(), PackagePlace::Card, oldDir};
  RunRecord record;
  if (!OpenSimulatedDevice(setup, &device, error)) return false;
  bool ran = RunUpdaterOn(&device, RunOptions{nullptr, nullptr, nullptr}, &record, error);
  Comparing comparing{&device.overlay.fileSystem, newTree, settings,
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
