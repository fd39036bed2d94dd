#include "profile/profile_writer.h"

#include <climits>
#include <cstdlib>

#include "base/wide_string.h"
#include "platform/file_system.h"
#include "profile/profile_lines.h"
#include "profile/profile_scan.h"

namespace nimbora {

namespace {

// A file is never rewritten where it stands: its new content is written
// whole to "<name>~new" beside it and made durable, the old file is moved
// aside to "<name>~old", the new one is moved in, and the old one deleted.
// Moves never overwrite (the device has no atomic replace), so at every
// moment the content is whole in one of the names:
//   ~new without ~old: the replace never began; the target holds its content
//     and ~new (perhaps incomplete) is dropped;
//   ~old present: ~new was complete before; it goes in place unless the
//     target already holds it, then ~old is deleted; a lone ~old (a replace
//     whose new content never got in) goes back in place.
// Every write first finishes what an earlier one left, and so does the
// Updater for main.ini at its start.

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

void PutText(const ProfileLines& lines, const char16_t* text, unsigned char** at) {
  *at += EncodeProfileText(&lines, text, *at);
}

void PutEntry(const ProfileLines& lines, const Rewrite& rewrite, unsigned char** at) {
  PutText(lines, rewrite.key, at);
  PutText(lines, u"=", at);
  PutText(lines, rewrite.value, at);
  PutText(lines, u"\n", at);
}

// Encodes the new text into bytes; returns its length in bytes.
int EncodeNewText(const ProfileLines& lines, const Rewrite& rewrite, unsigned char* bytes) {
  unsigned char* at = bytes;
  if (rewrite.closeLineFirst) PutText(lines, u"\n", &at);
  switch (rewrite.text) {
    case NewText::Entry:
      PutEntry(lines, rewrite, &at);
      break;
    case NewText::Section:
      PutText(lines, u"\n[", &at);
      PutText(lines, rewrite.section, &at);
      PutText(lines, u"]\n", &at);
      PutEntry(lines, rewrite, &at);
      break;
    case NewText::None:
      break;
  }
  return static_cast<int>(at - bytes);
}

// Room for the longest new text: a line end, "\n[" section "]\n" key "=" value "\n".
long long NewTextRoom(const char16_t* section, const char16_t* key, const char16_t* value) {
  long long units = 8LL + WideLength(section);
  if (key != nullptr) units += WideLength(key);
  if (key != nullptr && value != nullptr) units += WideLength(value);
  return units * kProfileBytesPerUnit;
}

// The target's bytes, with room behind them for the new text.
struct Content {
  unsigned char* bytes;
  int length;
  int exists;
};

// Reads the whole file into content. A missing file reads as empty. The file
// is opened for update though only read, so that one that may not be changed
// (read-only) fails here, before anything else was done.
int ReadTarget(const char16_t* path, long long room, Content* content) {
  *content = Content{};
  Stream* stream = OpenStream(path, u"r+");
  if (stream == nullptr && LastErrorCode() != kErrorFileNotFound) return 0;
  long long length = stream != nullptr ? ProfileFileLength(stream) : 0;
  int sized = length >= 0 && length <= INT_MAX - room;
  if (sized) {
    content->bytes = static_cast<unsigned char*>(std::malloc(static_cast<size_t>(length + room)));
  }
  size_t size = static_cast<size_t>(length);
  int read = content->bytes != nullptr &&
             (stream == nullptr || size == 0 || ReadBytes(stream, content->bytes, size) == size);
  content->length = static_cast<int>(length);
  content->exists = stream != nullptr;
  return (stream == nullptr || CloseStream(stream)) && read;
}

struct Piece {
  const unsigned char* bytes;
  long long size;
};

// Writes the pieces to a new file and makes it durable; 1 when all of it is.
int WriteNewFile(const char16_t* path, const Piece* pieces, int count) {
  Stream* stream = OpenStream(path, u"w+");
  if (stream == nullptr) return 0;
  int written = 1;
  for (int i = 0; i < count && written; ++i) {
    size_t size = static_cast<size_t>(pieces[i].size);
    written = size == 0 || WriteBytes(stream, pieces[i].bytes, size) == size;
  }
  written = written && FlushStream(stream);
  return CloseStream(stream) && written;
}

// The names of the new and the old content beside the target.
struct Leftovers {
  char16_t fresh[kPathCapacity];
  char16_t old[kPathCapacity];
};

int NameLeftovers(const char16_t* path, Leftovers* names) {
  int length = WideLength(path);
  if (length + WideLength(kFreshSuffix) >= kPathCapacity) return 0;
  WideCopy(names->fresh, path);
  WideCopy(names->fresh + length, kFreshSuffix);
  WideCopy(names->old, path);
  WideCopy(names->old + length, kOldSuffix);
  return 1;
}

// 1 when the file exists, 0 when it does not, -1 when that cannot be told.
int FileExists(const char16_t* path) {
  Stream* stream = OpenStream(path, u"r");
  if (stream == nullptr) return LastErrorCode() == kErrorFileNotFound ? 0 : -1;
  return CloseStream(stream) ? 1 : -1;
}

int RemoveIfPresent(const char16_t* path) {
  return DeleteFileAt(path) || LastErrorCode() == kErrorFileNotFound;
}

// Puts a content in place of a target that is missing while ~old is aside.
int PutBackInPlace(const char16_t* path, const Leftovers& names) {
  int fresh = FileExists(names.fresh);
  return fresh >= 0 && MoveFileNoReplace(fresh ? names.fresh : names.old, path);
}

int FinishReplace(const char16_t* path, const Leftovers& names) {
  int oldAside = FileExists(names.old);
  if (oldAside < 0) return 0;
  if (oldAside) {
    int inPlace = FileExists(path);
    if (inPlace < 0 || (!inPlace && !PutBackInPlace(path, names))) return 0;
    if (!RemoveIfPresent(names.old)) return 0;
  }
  return RemoveIfPresent(names.fresh);
}

// Puts the pieces in place of the file. After a failed move the old file
// goes back, so the file is in place for whatever reads it next; the move
// back fails harmlessly when the old file never left or the new one got in
// all the same. What is left beside it the next write or start sorts out.
// Once the new file is in, the call has done its work: an old file that
// cannot be deleted is a leftover that the next write or start removes.
int ReplaceFile(const char16_t* path, const Leftovers& names, const Piece* pieces, int count,
                int exists) {
  if (!WriteNewFile(names.fresh, pieces, count)) {
    DeleteFileAt(names.fresh);
    return 0;
  }
  if ((exists && !MoveFileNoReplace(path, names.old)) || !MoveFileNoReplace(names.fresh, path)) {
    if (exists) MoveFileNoReplace(names.old, path);
    return 0;
  }
  if (exists) DeleteFileAt(names.old);
  return 1;
}

// Applies the call to the content read; 1 when the file holds the result.
int ApplyCall(const char16_t* section, const char16_t* key, const char16_t* value,
              const char16_t* path, const Leftovers& names, const Content& content) {
  ProfileLines lines;
  StartMemoryLines(&lines, content.bytes, content.length);
  ProfileScan scan;
  ScanProfile(&lines, section, key, &scan);
  Rewrite rewrite;
  // A file that did not exist is created, even empty.
  if (!PlanRewrite(section, key, value, scan, &rewrite) && content.exists) return 1;
  unsigned char* newText = content.bytes + content.length;
  Piece pieces[] = {{content.bytes, rewrite.from},
                    {newText, EncodeNewText(lines, rewrite, newText)},
                    {content.bytes + rewrite.tailStart, content.length - rewrite.tailStart}};
  return ReplaceFile(path, names, pieces, 3, content.exists);
}

}  // namespace

int WriteProfileString(const char16_t* section, const char16_t* key, const char16_t* value,
                       const char16_t* path) {
  Leftovers names;
  if (!NameLeftovers(path, &names) || !FinishReplace(path, names)) return 0;
  Content content;
  int result = ReadTarget(path, NewTextRoom(section, key, value), &content) &&
               ApplyCall(section, key, value, path, names, content);
  std::free(content.bytes);
  return result;
}

int FinishProfileReplace(const char16_t* path) {
  Leftovers names;
  return NameLeftovers(path, &names) && FinishReplace(path, names);
}

}  // namespace nimbora
