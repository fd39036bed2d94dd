#include "make_tree.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <memory>

#include "base/utf8.h"
#include "base/wide_string.h"
#include "package/package_checksums.h"
#include "platform/device_locations.h"
#include "platform/device_names.h"
#include "platform/file_system.h"
#include "platform/host/host_platform.h"
#include "package_tool.h"

namespace nimbora {

namespace {

std::u16string Folded(const std::u16string& path) {
  std::u16string key = path;
  for (char16_t& c : key) c = FoldCase(c);
  return key;
}

// The name as the device holds it, or false when it cannot hold it.
bool DeviceName(const char* hostName, std::u16string* name) {
  char16_t wide[kPathCapacity];
  if (!IsDeviceName(hostName) || !Utf16FromUtf8(hostName, wide, kPathCapacity)) return false;
  int length = WideLength(wide);
  int kept = 0;
  // The device drops trailing full stops and blanks: such a name would not
  // keep its spelling there.
  if (StepOfComponent(wide, length, true, &kept) != PathStep::Name || kept != length) return false;
  *name = wide;
  return true;
}

struct Walk {
  const char* role;
  MakeTree* tree;
  std::string* reason;
};

bool Refuse(Walk* walk, const std::string& host, const std::string& why) {
  *walk->reason = std::string(walk->role) + " holds " + host + ", " + why;
  return false;
}

bool AddEntry(Walk* walk, TreeEntry entry) {
  auto [at, added] =
      walk->tree->byKey.emplace(Folded(entry.path), static_cast<int>(walk->tree->entries.size()));
  if (!added) {
    return Refuse(walk, entry.host,
                  "whose name differs from " + walk->tree->entries[at->second].host +
                      " only in letter case: the card's file system keeps one of them");
  }
  bool top = entry.parent < 0;
  if (top && (WideCompareNoCase(entry.path.c_str(), kPackageDescriptionName) == 0 ||
              WideCompareNoCase(entry.path.c_str(), kChecksumListName) == 0)) {
    return Refuse(walk, entry.host, "a package's own file: the package's would take its place; remove it");
  }
  walk->tree->entries.push_back(std::move(entry));
  return true;
}

bool WalkDirectory(Walk* walk, const std::string& host, const std::u16string& prefix, int parent) {
  std::unique_ptr<DIR, int (*)(DIR*)> directory(opendir(host.c_str()), closedir);
  if (!directory) return Refuse(walk, host, std::string("which cannot be read: ") + strerror(errno));
  std::vector<int> subdirectories;
  while (dirent* found = readdir(directory.get())) {
    if (strcmp(found->d_name, ".") == 0 || strcmp(found->d_name, "..") == 0) continue;
    std::string path = host + "/" + found->d_name;
    std::u16string name;
    if (!DeviceName(found->d_name, &name)) {
      return Refuse(walk, path,
                    "a name no panel can hold (a backslash, not UTF-8, too long, or ending "
                    "in a full stop or blank, which the device drops)");
    }
    struct stat status;
    if (lstat(path.c_str(), &status) != 0)
      return Refuse(walk, path, std::string("which cannot be read: ") + strerror(errno));
    if (S_ISLNK(status.st_mode))
      return Refuse(walk, path, "a symbolic link: a panel has none; copy what it names instead");
    bool isDirectory = S_ISDIR(status.st_mode);
    if (!isDirectory && !S_ISREG(status.st_mode)) return Refuse(walk, path, "neither a file nor a directory");
    if (isDirectory) subdirectories.push_back(static_cast<int>(walk->tree->entries.size()));
    // A file nobody may write is what the device calls read-only.
    if (!AddEntry(walk, TreeEntry{prefix + name, path, parent, isDirectory, (status.st_mode & 0222) == 0,
                                  static_cast<long long>(status.st_size)})) {
      return false;
    }
  }
  directory.reset();
  for (int index : subdirectories) {
    const TreeEntry& entry = walk->tree->entries[static_cast<size_t>(index)];
    if (!WalkDirectory(walk, std::string(entry.host), entry.path + u"\\", index)) return false;
  }
  return true;
}

}  // namespace

bool ReadMakeTree(const std::string& root, const char* role, MakeTree* tree, std::string* reason) {
  Walk walk{role, tree, reason};
  return WalkDirectory(&walk, root, u"", -1);
}

int FindEntry(const MakeTree& tree, const std::u16string& path) {
  auto found = tree.byKey.find(Folded(path));
  return found == tree.byKey.end() ? -1 : found->second;
}

std::u16string LastName(const std::u16string& path) {
  size_t separator = path.rfind(u'\\');
  return separator == std::u16string::npos ? path : path.substr(separator + 1);
}

bool StartsWithFullStop(const TreeEntry& entry) {
  size_t separator = entry.path.rfind(u'\\');
  return entry.path[separator == std::u16string::npos ? 0 : separator + 1] == u'.';
}

ReadBlock HostFileBlocks(const std::string& path, std::string* error) {
  struct Descriptor {
    ~Descriptor() { close(fd); }
    int fd;
  };
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK);
  if (fd < 0) {
    *error = "cannot read " + path + ": " + strerror(errno);
    return nullptr;
  }
  // Shared, so the copies of the function close the file once, after the last.
  std::shared_ptr<Descriptor> file(new Descriptor{fd});
  return [file](char* block) -> long {
    size_t got = 0;
    while (got < kCompareBlock) {
      ssize_t read = ::read(file->fd, block + got, kCompareBlock - got);
      if (read < 0) return -1;
      if (read == 0) break;
      got += static_cast<size_t>(read);
    }
    return static_cast<long>(got);
  };
}

bool SameBlocks(const ReadBlock& a, const ReadBlock& b, bool* same) {
  static char first[kCompareBlock];
  static char second[kCompareBlock];
  for (;;) {
    long got = a(first);
    long gotOther = b(second);
    if (got < 0 || gotOther < 0) return false;
    *same = got == gotOther && memcmp(first, second, static_cast<size_t>(got)) == 0;
    if (!*same || got == 0) return true;
  }
}

bool SameContents(const std::string& a, const std::string& b, bool* same, std::string* error) {
  ReadBlock one = HostFileBlocks(a, error);
  ReadBlock other = one ? HostFileBlocks(b, error) : nullptr;
  if (!other) return false;
  if (SameBlocks(one, other, same)) return true;
  *error = "cannot read " + a + " or " + b + ": " + strerror(errno);
  return false;
}

}  // namespace nimbora
