#include "package/package_checksums.h"

#include <cstring>

#include "base/sha256.h"
#include "base/utf8.h"
#include "base/wide_string.h"
#include "package/directory_entries.h"
#include "package/path_join.h"
#include "platform/file_system.h"

namespace nimbora {

// The list holds when its lines name distinct files that are all there and
// whole, and a walk of the package finds no more files than that: the named
// files are then exactly the package's files. Each line is checked as it is
// read, so nothing of the list is kept; "distinct" is what would need a table
// of every name seen, or a search of the list for each file, quadratic in a
// package of 20,000 files. The order of the lines does it instead: a name
// repeated, also in other letter case, shows as a line that is not greater
// than the one before, so one previous path is all there is to keep. The
// walk then only counts. The whole check is one pass over the list, one read
// of each file and one walk, with fixed buffers whatever the package's size.
//
// That a listed file was found means that it opened as a file, which a
// directory never does on the device.

namespace {

// A hash, its two marks and 259 characters of three UTF-8 bytes each fit.
constexpr int kLineCapacity = 1024;
constexpr int kPathStart = kSha256HexDigits + 2;
constexpr size_t kListChunk = 2048;
constexpr size_t kFileChunk = 8192;

struct ListReader {
  Stream* stream;
  unsigned char bytes[kListChunk];
  size_t next;
  size_t filled;
};

struct Verification {
  const char16_t* directory;
  const ChecksumReport* report;
  bool failed;
  int line;
  int listedFound;                   // listed files that are there, whole or not
  char16_t previous[kPathCapacity];  // the last well-formed path, for the order
};

void Report(Verification* verification, ChecksumProblem problem, int line,
            const char16_t* path) {
  verification->failed = true;
  const ChecksumReport* report = verification->report;
  if (report != nullptr) report->problem(report->context, problem, line, path);
}

bool IsNotThere(uint32_t code) { return code == kErrorFileNotFound || code == kErrorPathNotFound; }

// The next line without its LF into line, of which at most kLineCapacity
// bytes are kept; *length counts up to one more, *terminated tells whether
// an LF ended it. false at the end of the list.
bool ReadListLine(ListReader* reader, char* line, int* length, bool* terminated) {
  *length = 0;
  *terminated = false;
  for (;;) {
    if (reader->next == reader->filled) {
      reader->filled = ReadBytes(reader->stream, reader->bytes, sizeof reader->bytes);
      reader->next = 0;
      if (reader->filled == 0) return *length > 0;
    }
    char byte = static_cast<char>(reader->bytes[reader->next++]);
    if (byte == '\n') {
      *terminated = true;
      return true;
    }
    if (*length < kLineCapacity) line[*length] = byte;
    if (*length <= kLineCapacity) ++*length;
  }
}

bool IsLowerHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }

// The hash, a blank, a blank or '*', and a path that is not empty.
bool HasChecksumShape(const char* line, int length) {
  if (length <= kPathStart) return false;
  for (int i = 0; i < kSha256HexDigits; ++i) {
    if (!IsLowerHex(line[i])) return false;
  }
  char mark = line[kSha256HexDigits + 1];
  return line[kSha256HexDigits] == ' ' && (mark == ' ' || mark == '*');
}

// false for bytes that are not UTF-8, control characters, a backslash (which
// starts sha256sum's escaped names and is no part of a name on the device)
// and a path that would not fit.
bool DecodeListPath(const char* text, int length, char16_t* path) {
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text);
  int used = 0;
  while (length > 0) {
    char32_t codePoint;
    int taken = DecodeUtf8(bytes, length, &codePoint);
    bool notUtf8 = taken == 1 && bytes[0] >= 0x80;
    if (notUtf8 || codePoint < 0x20 || codePoint == U'\\') return false;
    char16_t units[2];
    int count = SplitCodePoint(codePoint, units);
    if (used + count >= kPathCapacity) return false;
    for (int i = 0; i < count; ++i) path[used++] = units[i];
    bytes += taken;
    length -= taken;
  }
  path[used] = 0;
  return true;
}

// Every name not empty and not beginning with a full stop (never part of a
// package; no "." or ".." either), none ending in a full stop or a blank,
// which the device's file systems drop so that the name would stand for
// another; and not the list itself.
bool IsPackageFilePath(const char16_t* path) {
  if (WideCompareNoCase(path, kChecksumListName) == 0) return false;
  for (const char16_t* name = path;;) {
    const char16_t* end = name;
    while (*end != 0 && *end != u'/') ++end;
    if (end == name || name[0] == u'.' || end[-1] == u'.' || end[-1] == u' ') return false;
    if (*end == 0) return true;
    name = end + 1;
  }
}

bool FormDevicePath(const char16_t* directory, const char16_t* path, char16_t* devicePath) {
  if (!JoinPath(devicePath, directory, path)) return false;
  for (char16_t* c = devicePath + WideLength(directory); *c != 0; ++c) {
    if (*c == u'/') *c = u'\\';
  }
  return true;
}

// The file's SHA-256 in hex, streamed through one fixed buffer; false with
// the problem when the file cannot be opened. A read that fails part way
// ends the hash early, which then does not match.
bool HashFile(const char16_t* path, char* hex, ChecksumProblem* problem) {
  Stream* stream = OpenStream(path, u"r");
  if (stream == nullptr) {
    bool missing = IsNotThere(LastErrorCode());
    *problem = missing ? ChecksumProblem::kMissingFile : ChecksumProblem::kUnreadableFile;
    return false;
  }
  Sha256 hash;
  Sha256Start(&hash);
  unsigned char chunk[kFileChunk];
  while (size_t got = ReadBytes(stream, chunk, sizeof chunk)) Sha256Add(&hash, chunk, got);
  CloseStream(stream);
  unsigned char digest[kSha256Bytes];
  Sha256Finish(&hash, digest);
  Sha256Hex(digest, hex);
  return true;
}

// A CR before the LF is dropped, for a list that passed through an editor.
void CheckLine(Verification* verification, const char* line, int length, bool terminated) {
  int number = ++verification->line;
  bool fits = length <= kLineCapacity;
  if (terminated && fits && length > 0 && line[length - 1] == '\r') --length;
  char16_t path[kPathCapacity];
  char16_t devicePath[kPathCapacity];
  bool wellFormed = terminated && fits && HasChecksumShape(line, length) &&
                    DecodeListPath(line + kPathStart, length - kPathStart, path) &&
                    IsPackageFilePath(path) &&
                    WideCompareNoCase(path, verification->previous) > 0 &&
                    FormDevicePath(verification->directory, path, devicePath);
  if (!wellFormed) {
    Report(verification, ChecksumProblem::kMalformedLine, number, nullptr);
    return;
  }
  WideCopy(verification->previous, path);
  const ChecksumReport* report = verification->report;
  if (report != nullptr && report->listed != nullptr) report->listed(report->context, devicePath);
  char hex[kSha256HexDigits + 1];
  ChecksumProblem problem = ChecksumProblem::kChangedFile;
  bool hashed = HashFile(devicePath, hex, &problem);
  if (problem != ChecksumProblem::kMissingFile) ++verification->listedFound;
  if (!hashed || memcmp(hex, line, kSha256HexDigits) != 0) {
    Report(verification, problem, number, devicePath);
  }
}

// Counts the files a copy of the whole package would copy below directory,
// the list itself aside.
void CountFiles(Verification* verification, const char16_t* directory, bool top, int* count) {
  char16_t prefix[kPathCapacity];
  char16_t path[kPathCapacity];
  DirectoryEntry entry;
  Search* search = nullptr;
  bool whole = FormDirectoryPrefix(prefix, directory) && JoinPath(path, prefix, kEveryEntry);
  if (whole) search = FindFirstEntry(path, &entry);
  if (search == nullptr) {
    if (!whole || !NothingToEnumerate()) {
      Report(verification, ChecksumProblem::kUnreadableDirectory, 0, directory);
    }
    return;
  }
  do {
    if (IsPassedOver(entry)) continue;
    if (!JoinPath(path, prefix, entry.name)) {
      whole = false;
    } else if (IsDirectory(entry)) {
      CountFiles(verification, path, false, count);
    } else if (!top || WideCompareNoCase(entry.name, kChecksumListName) != 0) {
      ++*count;
    }
  } while (FindNextEntry(search, &entry));
  if (!EnumerationEnded()) whole = false;
  CloseSearch(search);
  if (!whole) Report(verification, ChecksumProblem::kUnreadableDirectory, 0, directory);
}

}  // namespace

ChecksumVerdict VerifyPackageChecksums(const char16_t* packageDirectory,
                                       const ChecksumReport* report) {
  Verification verification{packageDirectory, report, false, 0, 0, {0}};
  char16_t listPath[kPathCapacity];
  Stream* list = nullptr;
  if (JoinPath(listPath, packageDirectory, kChecksumListName)) list = OpenStream(listPath, u"r");
  if (list == nullptr) {
    if (listPath[0] != 0 && IsNotThere(LastErrorCode())) return ChecksumVerdict::kNoList;
    Report(&verification, ChecksumProblem::kUnreadableList, 0, listPath);
    return ChecksumVerdict::kFails;
  }
  ListReader reader{list, {}, 0, 0};
  char line[kLineCapacity];
  int length;
  bool terminated;
  while (ReadListLine(&reader, line, &length, &terminated)) {
    CheckLine(&verification, line, length, terminated);
  }
  CloseStream(list);
  int files = 0;
  CountFiles(&verification, packageDirectory, true, &files);
  if (files != verification.listedFound) {
    Report(&verification, ChecksumProblem::kUnlistedFiles, files - verification.listedFound,
           nullptr);
  }
  return verification.failed ? ChecksumVerdict::kFails : ChecksumVerdict::kHolds;
}

}  // namespace nimbora
