#include "package/package_instructions.h"

#include "package/listed_indexes.h"
#include "package/package_format.h"
#include "package/path_join.h"
#include "package/tree_operations.h"
#include "platform/file_system.h"
#include "base/wide_string.h"
#include "profile/profile_reader.h"

namespace nimbora {

namespace {

enum class EntryOutcome { Done, Failed, ListStopped };

// value must hold kPathCapacity characters.
void ReadMainValue(const char16_t* descriptionPath, const char16_t* key,
                   const char16_t* defaultText, char16_t* value) {
  ReadProfileString(kMainSection, key, defaultText, value, kMainValueCapacity, descriptionPath);
}

bool IsKeyword(const char16_t* value, const char16_t* keyword) {
  return WideCompareNoCase(value, keyword) == 0;
}

// Reads list entry `index` into entry (kPathCapacity characters). Returns its
// length, 0 when it is missing or empty, or -1 when it filled its whole line
// and so may have been cut by the reader's line limit.
int ReadListedEntry(const char16_t* section, const char16_t* prefix, int index,
                    const char16_t* descriptionPath, char16_t* entry) {
  char16_t key[kPathCapacity];
  int keyLength = WideFormat(key, kPathCapacity, u"%s%d", prefix, index);
  int length = ReadProfileString(section, key, u"", entry, kPathCapacity, descriptionPath);
  return keyLength + 1 + length >= kProfileLineCapacity - 1 ? -1 : length;
}

EntryOutcome CopyListedFile(const char16_t* sourcePath, const char16_t* targetPath) {
  if (CopyFileOver(sourcePath, targetPath)) return EntryOutcome::Done;
  if (LastErrorCode() == kErrorPathNotFound && !CreateParentDirectories(targetPath)) {
    return EntryOutcome::ListStopped;
  }
  return CopyFileOver(sourcePath, targetPath) ? EntryOutcome::Done : EntryOutcome::Failed;
}

EntryOutcome CopyListedEntry(const char16_t* section, const char16_t* prefix, int index,
                             const char16_t* descriptionPath, const char16_t* sourceDirectory,
                             const char16_t* targetDirectory, const char16_t* toleratedPath) {
  char16_t entry[kPathCapacity];
  char16_t sourcePath[kPathCapacity];
  char16_t targetPath[kPathCapacity];
  if (ReadListedEntry(section, prefix, index, descriptionPath, entry) <= 0 ||
      !JoinPath(sourcePath, sourceDirectory, entry) ||
      !JoinPath(targetPath, targetDirectory, entry)) {
    return EntryOutcome::Failed;
  }
  if (!EndsWithSeparator(entry)) return CopyListedFile(sourcePath, targetPath);
  return CopyTree(sourcePath, targetPath, toleratedPath) ? EntryOutcome::Done
                                                         : EntryOutcome::Failed;
}

void DeleteAll(const char16_t* applicationDirectory, const char16_t* descriptionPath) {
  char16_t value[kPathCapacity];
  ReadMainValue(descriptionPath, kDeleteDatabaseKey, u"false", value);
  if (IsKeyword(value, kTrueKeyword)) {
    DeleteTree(applicationDirectory, nullptr);
    return;
  }
  char16_t path[kPathCapacity];
  ReadMainValue(descriptionPath, kDeleteParamKey, u"false", value);
  if (IsKeyword(value, kTrueKeyword) && JoinPath(path, applicationDirectory, kParamPath)) {
    DeleteFileAt(path);
  }
  // Left empty when it does not fit; then no entry called Database can be
  // reached in the walk either, since its path would not fit.
  JoinPath(path, applicationDirectory, kDatabaseName);
  DeleteTree(applicationDirectory, path);
}

void ApplyDeleteInstruction(const char16_t* applicationDirectory,
                            const char16_t* descriptionPath) {
  char16_t value[kPathCapacity];
  ReadMainValue(descriptionPath, kDeleteKey, u"0", value);
  if (IsKeyword(value, kAllKeyword)) {
    DeleteAll(applicationDirectory, descriptionPath);
    return;
  }
  int count = WideToInt(value);
  if (count > 0) DeleteListedEntries(count, kDeleteSection, kEntryPrefix, descriptionPath, applicationDirectory);
}

int ApplyCopyInstruction(const char16_t* packageDirectory, const char16_t* applicationDirectory,
                         const char16_t* descriptionPath) {
  char16_t value[kPathCapacity];
  char16_t tolerated[kPathCapacity];
  ReadMainValue(descriptionPath, kUpdateKey, u"0", value);
  // Left empty when it does not fit: then no file is forgiven.
  JoinPath(tolerated, packageDirectory, kUpdaterName);
  if (IsKeyword(value, kAllKeyword)) return CopyTree(packageDirectory, applicationDirectory, tolerated);
  int count = WideToInt(value);
  if (count <= 0) return 1;
  return CopyListedEntries(count, kUpdateSection, kEntryPrefix, descriptionPath, packageDirectory,
                           applicationDirectory, tolerated);
}

}  // namespace

int ApplyPackage(const char16_t* packageDirectory, const char16_t* applicationDirectory,
                 const char16_t* descriptionPath) {
  ApplyDeleteInstruction(applicationDirectory, descriptionPath);
  return ApplyCopyInstruction(packageDirectory, applicationDirectory, descriptionPath);
}

// The list ends at its first missing entry, so it never reads more than one
// key beyond the entries present. An entry whose path cannot be formed whole
// is skipped rather than acted on under a cut name.
void DeleteListedEntries(int count, const char16_t* section, const char16_t* prefix,
                         const char16_t* descriptionPath, const char16_t* baseDirectory) {
  char16_t entry[kPathCapacity];
  char16_t path[kPathCapacity];
  for (int index = 1; index <= count; ++index) {
    int length = ReadListedEntry(section, prefix, index, descriptionPath, entry);
    if (length == 0) return;
    if (length < 0 || !JoinPath(path, baseDirectory, entry)) continue;
    if (EndsWithSeparator(entry)) {
      DeleteTree(path, nullptr);
    } else {
      DeleteFileAt(path);
    }
  }
}

// A missing entry makes the result 0 and changes nothing else, so only the
// indexes the description holds are visited (found by NextListedIndex); a
// gap before one of them, or below the count after the last, is a missing
// entry. A count of 99999999 thus costs what the entries present cost.
int CopyListedEntries(int count, const char16_t* section, const char16_t* prefix,
                      const char16_t* descriptionPath, const char16_t* sourceDirectory,
                      const char16_t* targetDirectory, const char16_t* toleratedPath) {
  if (count <= 0) return 1;
  int result = 1;
  int last = 0;
  for (int index = NextListedIndex(prefix, 0, descriptionPath); index != 0 && index <= count;
       index = NextListedIndex(prefix, index, descriptionPath)) {
    if (index > last + 1) result = 0;
    EntryOutcome outcome = CopyListedEntry(section, prefix, index, descriptionPath,
                                           sourceDirectory, targetDirectory, toleratedPath);
    if (outcome == EntryOutcome::ListStopped) return 0;
    if (outcome == EntryOutcome::Failed) result = 0;
    last = index;
  }
  return last < count ? 0 : result;
}

}  // namespace nimbora
