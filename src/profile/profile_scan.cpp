#include "profile/profile_scan.h"

#include "profile/profile_syntax.h"

namespace nimbora {

namespace {

// Judges one line; returns 1 when the scan is over.
int TakeLine(const char16_t* section, const char16_t* key, long long start,
             const ProfileLines* lines, ProfileScan* scan) {
  if (!scan->sectionFound) {
    if (IsHeaderOf(scan->line, section)) {
      scan->sectionFound = 1;
      scan->header = start;
    }
    return 0;
  }
  if (IsHeader(scan->line)) {
    scan->sectionEnd = start;
    return 1;
  }
  if (key == nullptr) return 0;
  scan->value = EntryValue(scan->line, key);
  if (scan->value == nullptr) return 0;
  scan->entryFound = 1;
  scan->entry = start;
  scan->afterEntry = ProfileLinePosition(lines);
  return 1;
}

}  // namespace

void ScanProfile(ProfileLines* lines, const char16_t* section, const char16_t* key,
                 ProfileScan* scan) {
  *scan = ProfileScan{};
  for (;;) {
    long long start = ProfileLinePosition(lines);
    if (!ReadProfileLine(lines, scan->line)) {
      scan->sectionEnd = ProfileLinePosition(lines);
      return;
    }
    int closed = RemoveLineEnd(scan->line);
    if (!IsIgnoredLine(scan->line) && TakeLine(section, key, start, lines, scan)) return;
    scan->sectionEndsOpen = !closed;
  }
}

}  // namespace nimbora
