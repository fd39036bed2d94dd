#include "profile/profile_writer.h"

#include <cstdlib>

#include "platform/file_system.h"
#include "profile/profile_reader.h"
#include "profile/profile_scan.h"
#include "profile/profile_stream.h"

namespace nimbora {

namespace {

enum class NewText { None, Entry, Section };

// What a call changes: the text at `from` up to `tailStart` gives way to
// the new text, and everything from tailStart on follows it unchanged.
struct Rewrite {
  long long from;
  long long tailStart;
  NewText text;
  int closeLineFirst;  // the line before `from` needs its line end first
  const char16_t* section;
  const char16_t* key;
  const char16_t* value;
};

void PlaceRewrite(Rewrite* rewrite, long long from, long long tailStart, NewText text,
                  int closeLineFirst) {
  rewrite->from = from;
  rewrite->tailStart = tailStart;
  rewrite->text = text;
  rewrite->closeLineFirst = closeLineFirst;
}

// Decides the rewrite from what the scan found; 0 when nothing changes.
int PlanRewrite(const char16_t* section, const char16_t* key, const char16_t* value,
                const ProfileScan& scan, Rewrite* rewrite) {
  rewrite->section = section;
  rewrite->key = key;
  rewrite->value = value;
  if (key == nullptr) {
    PlaceRewrite(rewrite, scan.header, scan.sectionEnd, NewText::None, 0);
    return scan.sectionFound;
  }
  if (value == nullptr) {
    PlaceRewrite(rewrite, scan.entry, scan.afterEntry, NewText::None, 0);
    return scan.entryFound;
  }
  if (scan.entryFound) {
    PlaceRewrite(rewrite, scan.entry, scan.afterEntry, NewText::Entry, 0);
  } else if (scan.sectionFound) {
    // An entry added behind a last line without line end must not be glued to it.
    PlaceRewrite(rewrite, scan.sectionEnd, scan.sectionEnd, NewText::Entry, scan.sectionEndsOpen);
  } else {
    // The new section text opens with its own line end.
    PlaceRewrite(rewrite, scan.sectionEnd, scan.sectionEnd, NewText::Section, 0);
  }
  return 1;
}

int WriteEntry(Stream* stream, const char16_t* key, const char16_t* value) {
  return WriteProfileText(stream, key) && WriteProfileText(stream, u"=") &&
         WriteProfileText(stream, value) && WriteProfileText(stream, u"\n");
}

int WriteNewText(Stream* stream, const Rewrite& rewrite) {
  if (rewrite.closeLineFirst && !WriteProfileText(stream, u"\n")) return 0;
  switch (rewrite.text) {
    case NewText::Entry:
      return WriteEntry(stream, rewrite.key, rewrite.value);
    case NewText::Section:
      return WriteProfileText(stream, u"\n[") && WriteProfileText(stream, rewrite.section) &&
             WriteProfileText(stream, u"]\n") && WriteEntry(stream, rewrite.key, rewrite.value);
    case NewText::None:
      break;
  }
  return 1;
}

// Holds the bytes from the tail start to the end of the file.
struct Tail {
  unsigned char* bytes;
  size_t size;
};

// Reads the tail whole; 0 when it cannot be held or read (nothing written yet).
int ReadTail(Stream* stream, long long start, long long end, Tail* tail) {
  *tail = {nullptr, 0};
  if (start >= end) return 1;
  tail->size = static_cast<size_t>(end - start);
  tail->bytes = static_cast<unsigned char*>(std::malloc(tail->size + 1));
  if (tail->bytes == nullptr) return 0;
  return SeekStream(stream, start, kSeekSet) && ReadBytes(stream, tail->bytes, tail->size) == tail->size;
}

// Cuts a file that became shorter. A file that keeps its old length still
// holds stale bytes of its former end behind the new text, so a cut that
// cannot be made is a failed write.
int CutFile(const char16_t* path, long long length) {
  FileHandle* file = OpenExistingFile(path);
  if (file == nullptr) return 0;
  int cut = SetFilePointerAt(file, length) && SetEndOfFileAt(file);
  CloseFileHandle(file);
  return cut;
}

// Writes the new text at rewrite.from followed by the tail; returns the
// position reached (E), or -1 when anything could not be read or written.
long long ApplyRewrite(Stream* stream, const Rewrite& rewrite, long long fileLength) {
  if (rewrite.from < 0 || rewrite.tailStart < 0) return -1;
  Tail tail;
  int written = ReadTail(stream, rewrite.tailStart, fileLength, &tail) &&
                SeekStream(stream, rewrite.from, kSeekSet) && WriteNewText(stream, rewrite) &&
                (tail.size == 0 || WriteBytes(stream, tail.bytes, tail.size) == tail.size);
  std::free(tail.bytes);
  return written ? StreamPosition(stream) : -1;
}

// Opens the file for update; only a file that does not exist is created,
// since "w+" would empty a file that merely failed to open.
Stream* OpenForUpdate(const char16_t* path) {
  Stream* stream = OpenStream(path, u"r+");
  if (stream == nullptr && LastErrorCode() == kErrorFileNotFound) stream = OpenStream(path, u"w+");
  return stream;
}

// A read error ends the scan as the end of the file does; only a scan that
// really came to the end may place text there. A UTF-16 file may end in an
// odd byte that is no character.
int ScanIsWhole(const ProfileScan& scan, long long fileLength) {
  if (fileLength < 0 || scan.readFailed) return 0;
  return !scan.reachedEnd || fileLength - scan.sectionEnd <= Utf16Mode;
}

// Scans and rewrites the open file. Returns the end of what was written
// (E), the file's length when nothing needed changing, or -1 on failure.
long long UpdateFile(Stream* stream, const char16_t* section, const char16_t* key,
                     const char16_t* value, long long* fileLength) {
  if (!ChooseProfileEncoding(stream)) return -1;
  ProfileScan scan;
  ScanProfile(stream, section, key, &scan);
  *fileLength = SeekStream(stream, 0, kSeekEnd) ? StreamPosition(stream) : -1;
  if (!ScanIsWhole(scan, *fileLength)) return -1;
  Rewrite rewrite;
  if (!PlanRewrite(section, key, value, scan, &rewrite)) return *fileLength;
  return ApplyRewrite(stream, rewrite, *fileLength);
}

}  // namespace

int WriteProfileString(const char16_t* section, const char16_t* key, const char16_t* value,
                       const char16_t* path) {
  Stream* stream = OpenForUpdate(path);
  if (stream == nullptr) return 0;
  long long fileLength = -1;
  long long end = UpdateFile(stream, section, key, value, &fileLength);
  // Closing flushes; a failed flush is a failed write.
  int closed = CloseStream(stream);
  if (end < 0 || !closed) return 0;
  return end < fileLength ? CutFile(path, end) : 1;
}

}  // namespace nimbora
