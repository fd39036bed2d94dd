#include "package_checksum_list.h"

#include <algorithm>
#include <fstream>
#include <unordered_set>

#include "base/sha256.h"
#include "base/wide_string.h"
#include "package/package_checksums.h"
#include "package_tool.h"

namespace nimbora {

namespace {

// A file of the package as a whole copy sees it: no name along its path
// begins with a full stop (the tree walks pass over those), and it is not
// the list itself. entry is relative, with "\" between names.
bool IsListedFile(const std::u16string& entry) {
  if (entry.empty() || entry.back() == u'\\') return false;
  if (WideCompareNoCase(entry.c_str(), kChecksumListName) == 0) return false;
  for (size_t start = 0;;) {
    if (entry[start] == u'.') return false;
    size_t separator = entry.find(u'\\', start);
    if (separator == std::u16string::npos) return true;
    start = separator + 1;
  }
}

std::vector<std::u16string> PackageFiles(FileSystem* fileSystem, const std::u16string& directory) {
  std::vector<std::u16string> files;
  for (const std::u16string& entry : ListTree(fileSystem, directory)) {
    if (IsListedFile(entry)) files.push_back(entry);
  }
  return files;
}

std::u16string WithSeparator(std::u16string path, char16_t from, char16_t to) {
  std::replace(path.begin(), path.end(), from, to);
  return path;
}

// The file's SHA-256 in hex.
bool HashOf(FileSystem* fileSystem, const std::u16string& path, std::string* hex) {
  Stream* stream = fileSystem->open(fileSystem, path.c_str(), u"r");
  if (stream == nullptr) return false;
  Sha256 hash;
  Sha256Start(&hash);
  unsigned char chunk[1 << 16];
  while (size_t got = fileSystem->read(fileSystem, stream, chunk, sizeof chunk)) {
    Sha256Add(&hash, chunk, got);
  }
  fileSystem->close(fileSystem, stream);
  unsigned char digest[kSha256Bytes];
  char text[kSha256HexDigits + 1];
  Sha256Finish(&hash, digest);
  Sha256Hex(digest, text);
  *hex = text;
  return true;
}

bool ListText(FileSystem* fileSystem, std::string* text, std::string* error) {
  std::vector<std::u16string> files = PackageFiles(fileSystem, u"\\");
  for (std::u16string& file : files) file = WithSeparator(file, u'\\', u'/');
  std::sort(files.begin(), files.end(), [](const std::u16string& a, const std::u16string& b) {
    return WideCompareNoCase(a.c_str(), b.c_str()) < 0;
  });
  for (const std::u16string& file : files) {
    std::string hex;
    if (!HashOf(fileSystem, u"\\" + WithSeparator(file, u'/', u'\\'), &hex)) {
      *error = "cannot read " + Utf8(file);
      return false;
    }
    *text += hex + "  " + Utf8(file) + "\n";
  }
  return true;
}

struct Findings {
  FileSystem* fileSystem;
  std::u16string directory;
  std::vector<ChecksumFinding> found;
  std::vector<std::u16string> listed;  // relative, "\" between names
  bool unlisted;
};

std::u16string Relative(const Findings& findings, const char16_t* path) {
  return path == nullptr ? u"" : std::u16string(path).substr(findings.directory.size());
}

void Note(void* context, ChecksumProblem problem, int line, const char16_t* path) {
  Findings* findings = static_cast<Findings*>(context);
  std::string name = Utf8(WithSeparator(Relative(*findings, path), u'\\', u'/'));
  std::string at = " (" + Utf8(kChecksumListName) + " line " + std::to_string(line) + ")";
  auto add = [findings](const char* code, const std::string& message) {
    findings->found.push_back(ChecksumFinding{"error", code, message});
  };
  switch (problem) {
    case ChecksumProblem::kMalformedLine:
      add("checksum-list-malformed", Utf8(kChecksumListName) + " line " + std::to_string(line) +
                                         " is out of form, out of order, a name repeated, or cut short");
      break;
    case ChecksumProblem::kMissingFile: add("checksum-missing-file", name + " is missing" + at); break;
    case ChecksumProblem::kUnreadableFile: add("checksum-unreadable-file", name + " cannot be read" + at); break;
    case ChecksumProblem::kChangedFile:
      add("checksum-changed-file",
          name + " does not match its checksum: changed or cut short (the list holds no sizes)" + at);
      break;
    case ChecksumProblem::kUnlistedFiles: findings->unlisted = line > 0; break;
    case ChecksumProblem::kUnreadableList:
      add("checksum-list-unreadable", Utf8(kChecksumListName) + " cannot be read");
      break;
    case ChecksumProblem::kUnreadableDirectory:
      add("checksum-unreadable-directory", "the package directory " + name + " cannot be read whole");
      break;
  }
}

void Listed(void* context, const char16_t* path) {
  Findings* findings = static_cast<Findings*>(context);
  findings->listed.push_back(Relative(*findings, path));
}

std::u16string Folded(std::u16string name) {
  for (char16_t& c : name) c = FoldCase(c);
  return name;
}

// The files the device only counts as unlisted, by name.
void NameExtraFiles(Findings* findings) {
  std::unordered_set<std::u16string> listed;
  for (const std::u16string& name : findings->listed) listed.insert(Folded(name));
  for (const std::u16string& file : PackageFiles(findings->fileSystem, findings->directory)) {
    if (listed.count(Folded(file)) == 0) {
      findings->found.push_back(ChecksumFinding{
          "error", "checksum-extra-file",
          Utf8(WithSeparator(file, u'\\', u'/')) + " is not in " + Utf8(kChecksumListName)});
    }
  }
}

}  // namespace

bool WriteChecksumList(const std::string& packageDir, std::string* error) {
  std::string text;
  {
    HostTree tree;
    if (!OpenHostTree(packageDir, &tree, error)) return false;
    if (!ListText(&tree.fileSystem, &text, error)) return false;
  }
  std::string path = packageDir + "/" + Utf8(kChecksumListName);
  std::ofstream list(path, std::ios::binary);
  list << text;
  list.close();
  if (!list) *error = "cannot write " + path;
  return static_cast<bool>(list);
}

std::vector<ChecksumFinding> CheckChecksumList(FileSystem* device,
                                               const std::u16string& packageDirectory) {
  Findings findings{device, packageDirectory, {}, {}, false};
  ChecksumReport report{&findings, Note, Listed};
  if (VerifyPackageChecksums(packageDirectory.c_str(), &report) == ChecksumVerdict::kNoList) {
    return {ChecksumFinding{"note", "checksum-list-absent",
                            "the package has no " + Utf8(kChecksumListName) +
                                ": the panel cannot tell a complete copy from a cut one"}};
  }
  if (findings.unlisted) NameExtraFiles(&findings);
  return findings.found;
}

}  // namespace nimbora
