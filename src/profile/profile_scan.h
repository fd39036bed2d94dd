// One pass over a profile file looking for a section and an entry in it,
// noting where they stand (byte offsets) so the writer can rewrite in place.
#pragma once

#include "platform/file_system.h"
#include "profile/profile_reader.h"

namespace nimbora {

struct ProfileScan {
  int sectionFound;
  int entryFound;
  long long header;      // start of the section's header line
  long long entry;       // start of the entry's line
  long long afterEntry;  // start of the line after the entry, or the end
  long long sectionEnd;  // start of the next header, or the end of the text
  // The line before sectionEnd has no line end (the file's last line, as a rule).
  int sectionEndsOpen;
  // No more lines came; sectionEnd is where the reading stopped.
  int reachedEnd;
  // The line reader gave up after moving the stream: a read error, not the end.
  int readFailed;
  // The entry's line without its line end; value points into it.
  char16_t line[kProfileLineCapacity];
  const char16_t* value;
};

// Scans from the stream's position (just after the encoding was chosen).
// key nullptr: only the section is sought. A read error ends the scan as
// the end of the file does.
void ScanProfile(Stream* stream, const char16_t* section, const char16_t* key, ProfileScan* scan);

}  // namespace nimbora
