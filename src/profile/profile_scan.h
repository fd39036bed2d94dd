// One pass over a profile file looking for a section and an entry in it,
// noting where they stand (byte offsets) so the writer can rebuild the file.
#pragma once

#include "profile/profile_lines.h"

namespace nimbora {

struct ProfileScan {
  int sectionFound;
  int entryFound;
  long long header;      // start of the section's header line
  long long entry;       // start of the entry's line
  long long afterEntry;  // start of the line after the entry, or the end
  long long sectionEnd;  // start of the next header, or where the text ends
  // The line before sectionEnd has no line end (the file's last line, as a rule).
  int sectionEndsOpen;
  // The entry's line without its line end; value points into it.
  char16_t line[kProfileLineCapacity];
  const char16_t* value;
};

// Scans the lines from the first character on. key nullptr: only the section
// is sought. A failed read ends the scan; lines->failed then tells.
void ScanProfile(ProfileLines* lines, const char16_t* section, const char16_t* key,
                 ProfileScan* scan);

}  // namespace nimbora
