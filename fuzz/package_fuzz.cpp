// A package description over an in-memory device: whatever it says, nothing
// outside the application directory changes (entries with ".." aside: they
// are the package author's to avoid), and no path cut short (by a buffer or
// by the line limit) is acted on. Runs with one failing call as well.
#include <string>
#include <vector>

#include "base/wide_string.h"
#include "fuzz_device.h"
#include "fuzz_input.h"
#include "package/package_instructions.h"
#include "platform/device_locations.h"
#include "profile/profile_reader.h"

using namespace nimbora;

namespace {

constexpr int kExtraFiles = 3;

const char16_t* const kApplicationFiles[] = {
    u"main.ini", u"Language.ini", u"Nimbora.exe", u"Database\\Param.dat", u"Database\\log.dat",
    u"Charts\\day\\c1.dat", u"readme.txt"};
const char16_t* const kPackageFiles[] = {u"Update.exe", u"Nimbora.exe", u"Charts\\day\\c2.dat",
                                         u"Skins\\blue.skn", u"readme.txt"};
// Beside the application directory, one of them a prefix of its name.
const char16_t* const kOutsideFiles[] = {u"\\ResidentFlash\\other.txt",
                                         u"\\ResidentFlash\\NimboraOld\\keep.dat"};

std::u16string Normalised(std::u16string path) {
  for (char16_t& c : path) {
    if (c == u'/') c = u'\\';
  }
  return path;
}

bool StartsWith(const std::u16string& text, const std::u16string& prefix) {
  return text.size() >= prefix.size() &&
         WideCompareNoCasePrefix(text.c_str(), prefix.c_str(), static_cast<int>(prefix.size())) == 0;
}

bool IsInsideApplication(const std::u16string& path) {
  std::u16string directory = kApplicationDirectory;
  std::u16string normalised = Normalised(path);
  return StartsWith(normalised, directory) ||
         WideCompareNoCase(normalised.c_str(), directory.substr(0, directory.size() - 1).c_str()) == 0;
}

struct DescriptionEntry {
  size_t keyLength;
  std::u16string value;
};

// The description's key=value lines, whole (not cut at the line limit), read
// plainly: UTF-16 when the second byte is 0xFE, else a byte a character.
std::vector<DescriptionEntry> DescriptionEntries(const std::string& bytes) {
  bool utf16 = bytes.size() >= 2 && static_cast<unsigned char>(bytes[1]) == 0xFE;
  size_t unit = utf16 ? 2 : 1;
  std::u16string text;
  for (size_t i = utf16 ? 2 : 0; i + unit <= bytes.size(); i += unit) {
    unsigned low = static_cast<unsigned char>(bytes[i]);
    text += static_cast<char16_t>(utf16 ? low | static_cast<unsigned char>(bytes[i + 1]) << 8 : low);
  }
  std::vector<DescriptionEntry> entries;
  size_t start = 0;
  for (size_t end = 0; end <= text.size(); ++end) {
    if (end < text.size() && text[end] != u'\r' && text[end] != u'\n') continue;
    // A null character ends the line's text for the reader as well.
    std::u16string line = text.substr(start, end - start);
    line = line.substr(0, line.find(u'\0'));
    size_t equals = line.find(u'=');
    if (equals != std::u16string::npos) entries.push_back({equals, line.substr(equals + 1)});
    start = end + 1;
  }
  return entries;
}

// The paths a cut could make of an entry: cut by the line limit, cut to the
// path buffer, or both. Paths the description asks for whole are no cuts.
std::vector<std::u16string> CutPaths(const std::vector<DescriptionEntry>& entries,
                                     const char16_t* packageDirectory) {
  std::vector<std::u16string> whole;
  std::vector<std::u16string> cuts;
  for (const DescriptionEntry& entry : entries) {
    // What of the value the first piece of its line holds; a key that
    // fills the first piece has no value in it.
    size_t firstPiece = kProfileLineCapacity - 1;
    size_t pieceValue = entry.keyLength + 1 < firstPiece ? firstPiece - 1 - entry.keyLength : 0;
    for (const char16_t* directory : {kApplicationDirectory, packageDirectory}) {
      std::u16string meant = directory + entry.value;
      whole.push_back(meant);
      if (pieceValue > 0 && entry.keyLength + 1 + entry.value.size() > firstPiece) {
        std::u16string piece = directory + entry.value.substr(0, pieceValue);
        cuts.push_back(piece.substr(0, kPathCapacity - 1));
      }
      if (meant.size() >= kPathCapacity) cuts.push_back(meant.substr(0, kPathCapacity - 1));
    }
  }
  std::vector<std::u16string> result;
  for (const std::u16string& cut : cuts) {
    bool meant = false;
    for (const std::u16string& path : whole) meant = meant || Normalised(path) == Normalised(cut);
    if (!meant) result.push_back(Normalised(cut));
  }
  return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input{data, size};
  FaultRule rule = TakeFaultRule(&input);
  const char16_t* packageDirectory =
      TakeByte(&input) & 1 ? kFlashPackageDirectory : kCardPackageDirectory;
  char16_t extra[kExtraFiles][kPathCapacity];
  for (auto& name : extra) TakeText(&input, name, kPathCapacity);
  std::string description(reinterpret_cast<const char*>(input.data), input.size);

  FuzzDevice device;
  StartFuzzDevice(&device);
  std::u16string package = packageDirectory;
  std::u16string application = kApplicationDirectory;
  for (const char16_t* name : kApplicationFiles) Check(PutFile(&device, (application + name).c_str(), "a"));
  for (const char16_t* name : kPackageFiles) Check(PutFile(&device, (package + name).c_str(), "p"));
  for (const char16_t* path : kOutsideFiles) Check(PutFile(&device, path, "o"));
  for (const char16_t* name : extra) {
    std::u16string path = package + Normalised(name);
    if (name[0] != 0 && path.size() < kPathCapacity) PutFile(&device, path.c_str(), "x");
  }
  std::u16string descriptionPath = package + kPackageDescriptionName;
  Check(PutFile(&device, descriptionPath.c_str(), description));
  device.memory.changes.clear();

  ApplyFaultRule(&device.faults, rule);
  ApplyPackage(packageDirectory, kApplicationDirectory, descriptionPath.c_str());
  ClearFaults(&device.faults);

  std::vector<std::u16string> cuts = CutPaths(DescriptionEntries(description), packageDirectory);
  for (const OverlayChange& change : device.memory.changes) {
    for (const std::u16string* path : {&change.path, &change.target}) {
      for (const std::u16string& cut : cuts) Check(Normalised(*path) != cut);
    }
    // A copy changes only its target; a move both of its names.
    bool copy = change.kind == OverlayChangeKind::CopyFile;
    for (const std::u16string* path : {&change.path, &change.target}) {
      if (path->empty() || (copy && path == &change.path)) continue;
      if (change.error == 0 && path->find(u"..") == std::u16string::npos) {
        Check(IsInsideApplication(*path));
      }
    }
  }
  StopFuzzDevice(&device);
  return 0;
}
