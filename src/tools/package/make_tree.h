// make's view of OLD and NEW: every entry of a host directory tree as the
// device would name it, read once, with what the comparison needs (kind,
// size, read-only flag), indexed by the name the device matches (letter case
// folded), and file contents compared by streaming.
#pragma once

#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

namespace nimbora {

struct TreeEntry {
  std::u16string path;  // relative, "\" between names, no final separator
  std::string host;     // the host path
  int parent;           // index of the directory holding it, -1 at the top
  bool directory;
  bool readOnly;
  long long size;
};

struct MakeTree {
  std::vector<TreeEntry> entries;  // a directory before everything in it
  std::unordered_map<std::u16string, int> byKey;
};

// Reads the tree at root; role ("OLD", "NEW") names it in the reason given
// when it holds what no panel can: a link, a FIFO or device node, a name the
// device cannot hold, two names differing only in letter case, or a package
// description or checksum list of its own at the top.
bool ReadMakeTree(const std::string& root, const char* role, MakeTree* tree, std::string* reason);

// The index of the entry the device finds at path (letter case ignored), or -1.
int FindEntry(const MakeTree& tree, const std::u16string& path);
std::u16string LastName(const std::u16string& path);
bool StartsWithFullStop(const TreeEntry& entry);

// Fills block with up to kCompareBlock bytes: how many, 0 at the end, -1 on failure.
constexpr size_t kCompareBlock = 1 << 16;
using ReadBlock = std::function<long(char* block)>;
// A host file read in blocks, or nullptr with a message when it cannot be opened.
ReadBlock HostFileBlocks(const std::string& path, std::string* error);
// Whether two sources hold the same bytes, a block at a time; false when a read fails.
bool SameBlocks(const ReadBlock& a, const ReadBlock& b, bool* same);
// Whether two host files hold the same bytes; false with a message when one cannot be read.
bool SameContents(const std::string& a, const std::string& b, bool* same, std::string* error);

}  // namespace nimbora
