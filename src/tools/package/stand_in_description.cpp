#include "stand_in_description.h"

#include <vector>

#include "base/wide_string.h"
#include "display/status_screen.h"
#include "package/package_format.h"
#include "platform/device_locations.h"
#include "profile/profile_reader.h"

namespace nimbora {

namespace {

constexpr int kValueCapacity = 256;

std::u16string MainValue(const std::u16string& description, const char16_t* key) {
  char16_t value[kPathCapacity];
  ReadProfileString(kMainSection, key, u"", value, kValueCapacity, description.c_str());
  return value;
}

// The path below directory (ending with "\"), or empty when it is not below it.
std::u16string Below(const std::u16string& path, const std::u16string& directory) {
  bool below = path.size() > directory.size() &&
               WideCompareNoCasePrefix(path.c_str(), directory.c_str(), static_cast<int>(directory.size())) == 0;
  return below ? path.substr(directory.size()) : u"";
}

struct Lists {
  std::vector<std::u16string> deletes;
  std::vector<std::u16string> copies;
  std::u16string otherCopy;  // a package file the screens do not read
};

bool Holds(const std::vector<std::u16string>& list, const std::u16string& entry) {
  for (const std::u16string& held : list) {
    if (Same(held, entry)) return true;
  }
  return false;
}

Lists ListsOf(const RunRecord& real, const std::u16string& packageDirectory, bool deletesAll) {
  Language language;
  ChooseLanguage(&language);
  auto readByScreens = [&](const std::u16string& path) {
    return Same(path, kInstalledStatePath) || Same(path, language.textsPath);
  };
  Lists lists;
  for (const OverlayChange& change : real.changes) {
    if (change.error != 0) continue;
    std::u16string entry = Below(change.path, packageDirectory);
    if (change.kind == OverlayChangeKind::CopyFile && !entry.empty()) {
      if (!readByScreens(change.target)) {
        if (lists.otherCopy.empty()) lists.otherCopy = entry;
      } else if (!Holds(lists.copies, entry)) {
        lists.copies.push_back(entry);
      }
    }
    if (change.kind == OverlayChangeKind::DeleteFile && !deletesAll && readByScreens(change.path)) {
      lists.deletes.push_back(Below(change.path, kApplicationDirectory));
    }
  }
  return lists;
}

std::u16string Line(const std::u16string& key, const std::u16string& value) { return key + u"=" + value + u"\r\n"; }

std::u16string Section(const char16_t* name, const std::vector<std::u16string>& entries) {
  std::u16string text = u"[" + std::u16string(name) + u"]\r\n";
  for (size_t i = 0; i < entries.size(); ++i) {
    text += Line(kEntryPrefix + Wide(std::to_string(i + 1)), entries[i]);
  }
  return text;
}

std::string Utf16WithMark(const std::u16string& text) {
  std::string bytes = "\xFF\xFE";
  for (char16_t unit : text) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  return bytes;
}

}  // namespace

std::optional<std::string> StandInDescription(const RunRecord& real, const std::u16string& packageDirectory) {
  std::u16string description = packageDirectory + kPackageDescriptionName;
  bool deletesAll = Same(MainValue(description, kDeleteKey), kAllKeyword);
  Lists lists = ListsOf(real, packageDirectory, deletesAll);
  if (lists.otherCopy.empty()) return std::nullopt;
  lists.copies.push_back(lists.otherCopy);
  std::u16string text = u"[Main]\r\n" + Line(kVersionKey, MainValue(description, kVersionKey));
  std::u16string time = MainValue(description, kUpdateTimeKey);
  if (!time.empty()) text += Line(kUpdateTimeKey, time);
  if (deletesAll) {
    text += Line(kDeleteKey, kAllKeyword);
    for (const char16_t* flag : {kDeleteDatabaseKey, kDeleteParamKey}) text += Line(flag, MainValue(description, flag));
  } else {
    text += Line(kDeleteKey, Wide(std::to_string(lists.deletes.size())));
  }
  text += Line(kUpdateKey, Wide(std::to_string(lists.copies.size())));
  if (!lists.deletes.empty()) text += Section(kDeleteSection, lists.deletes);
  text += Section(kUpdateSection, lists.copies);
  return Utf16WithMark(text);
}

bool PlaceStandInDescription(SimulatedDevice* device, const std::u16string& packageDirectory,
                             const std::string& bytes) {
  FileSystem* fileSystem = &device->overlay.fileSystem;
  std::u16string path = packageDirectory + kPackageDescriptionName;
  Stream* stream = fileSystem->open(fileSystem, path.c_str(), u"w+");
  if (stream == nullptr) return false;
  bool written = fileSystem->write(fileSystem, stream, bytes.data(), bytes.size()) == bytes.size();
  return fileSystem->close(fileSystem, stream) == 1 && written;
}

}  // namespace nimbora
