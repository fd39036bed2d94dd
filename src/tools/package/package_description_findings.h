// What a package description (update.ini) gets wrong that shows without a
// device: its encoding and line lengths, its version and time, and its
// lists. The codes are those nimbora-package check reports.
#pragma once

#include <string>
#include <vector>

#include "platform/file_system.h"

namespace nimbora {

struct DescriptionFinding {
  const char* severity;  // "error", "warning" or "note"
  const char* code;
  std::string message;
  std::string key;    // "Main/Version", "Update/file2"; empty when none
  int line;           // line of update.ini, from 1; 0 when none
  std::string entry;  // the list entry as written; empty when none
};

// A numbered list's instruction as the panel reads it: "all", or the entries
// present among file1 .. file<count>, in order.
struct ListedEntry {
  int index;
  std::u16string entry;
};
struct ListInstruction {
  std::u16string value;  // the instruction's value as read
  bool all;
  int count;
  std::vector<ListedEntry> entries;
};

// Each function reads the description in packageDirectory (a path of
// fileSystem ending with a backslash) through the logic's reader, with
// fileSystem installed for the call.
ListInstruction ReadListInstruction(FileSystem* fileSystem, const std::u16string& packageDirectory,
                                    const char16_t* section);

// Byte order marks, UTF-16 without its mark, bytes that are not UTF-8, and
// lines longer than the panel reads.
std::vector<DescriptionFinding> EncodingFindings(FileSystem* fileSystem,
                                                 const std::u16string& packageDirectory);
// "Version" that is no version, "Update Time" that is no time.
std::vector<DescriptionFinding> ValueFindings(FileSystem* fileSystem,
                                              const std::u16string& packageDirectory);
// A count past the entries or a gap in them; entries that reach outside, do
// not fit, or (Update only) name nothing in the package; Update.exe listed.
std::vector<DescriptionFinding> ListFindings(FileSystem* fileSystem, const std::u16string& packageDirectory,
                                             const char16_t* section);
// All of the above, in that order, for both lists.
std::vector<DescriptionFinding> DescriptionFindings(FileSystem* fileSystem,
                                                    const std::u16string& packageDirectory);

}  // namespace nimbora
