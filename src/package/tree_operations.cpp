#include "package/tree_operations.h"

#include "package/directory_entries.h"
#include "package/path_join.h"
#include "platform/file_system.h"
#include "base/wide_string.h"

namespace nimbora {

namespace {

bool CreatedOrPresent(int created) {
  return created != 0 || LastErrorCode() == kErrorAlreadyExists;
}

}  // namespace

// Every level holds one prefix, one path and one entry; nothing is allocated.
// A directory whose prefix or search pattern would not fit is left alone.
void DeleteTree(const char16_t* directory, const char16_t* excluded) {
  char16_t prefix[kPathCapacity];
  char16_t path[kPathCapacity];
  DirectoryEntry entry;
  if (!FormDirectoryPrefix(prefix, directory) || !JoinPath(path, prefix, kEveryEntry)) return;
  Search* search = FindFirstEntry(path, &entry);
  if (search != nullptr) {
    do {
      if (IsPassedOver(entry) || !JoinPath(path, prefix, entry.name)) continue;
      if (excluded != nullptr && WideCompareNoCase(path, excluded) == 0) continue;
      if (IsDirectory(entry)) {
        DeleteTree(path, excluded);
      } else {
        SetAttributesAt(path, kAttributeNormal);
        DeleteFileAt(path);
      }
    } while (FindNextEntry(search, &entry));
    CloseSearch(search);
  }
  RemoveEmptyDirectory(directory);
}

// An entry whose source or target path would not fit is not copied and makes
// the result 0, like any other failed copy; so does a source directory that
// cannot be read to its end.
int CopyTree(const char16_t* source, const char16_t* target, const char16_t* tolerated) {
  char16_t sourcePrefix[kPathCapacity];
  char16_t targetPrefix[kPathCapacity];
  char16_t sourcePath[kPathCapacity];
  char16_t targetPath[kPathCapacity];
  DirectoryEntry entry;
  if (!FormDirectoryPrefix(sourcePrefix, source) || !FormDirectoryPrefix(targetPrefix, target) ||
      !JoinPath(sourcePath, sourcePrefix, kEveryEntry)) {
    return 0;
  }
  Search* search = FindFirstEntry(sourcePath, &entry);
  bool readable = search != nullptr || NothingToEnumerate();
  int result = CreatedOrPresent(CreateDirectoryAt(target)) && readable ? 1 : 0;
  if (search == nullptr) return result;
  do {
    if (IsPassedOver(entry)) continue;
    if (!JoinPath(sourcePath, sourcePrefix, entry.name) ||
        !JoinPath(targetPath, targetPrefix, entry.name)) {
      result = 0;
    } else if (IsDirectory(entry)) {
      result &= CopyTree(sourcePath, targetPath, tolerated);
    } else if (!CopyFileOver(sourcePath, targetPath) &&
               WideCompareNoCase(sourcePath, tolerated) != 0) {
      result = 0;
    }
  } while (FindNextEntry(search, &entry));
  if (!EnumerationEnded()) result = 0;
  CloseSearch(search);
  return result;
}

// Creates each leading directory of path in turn, outer first. The root and
// drive designators are never created; an empty component (two separators
// in a row) names the directory before it again and is passed over too.
int CreateParentDirectories(const char16_t* path) {
  char16_t parent[kPathCapacity];
  if (!JoinPath(parent, path, u"")) return 0;
  int cut = WideLength(parent) - 1;
  while (cut > 0 && !IsPathSeparator(parent[cut])) --cut;
  if (cut <= 0) return 1;
  parent[cut] = 0;
  for (int start = 0;;) {
    int end = start;
    while (parent[end] != 0 && !IsPathSeparator(parent[end])) ++end;
    bool last = parent[end] == 0;
    bool skipped = end == start || parent[end - 1] == u':';
    if (!skipped) {
      parent[end] = 0;
      if (!CreatedOrPresent(CreateDirectoryAt(parent))) return 0;
      // Later prefixes carry a backslash here, whatever separator was written.
      if (!last) parent[end] = u'\\';
    }
    if (last) return 1;
    start = end + 1;
  }
}

}  // namespace nimbora
