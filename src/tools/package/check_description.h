// check's findings about update.ini and the package's names that need no
// device: check runs them before its run, the package summary on its own.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace nimbora {

enum class Severity { Error, Warning, Note };

struct Finding {
  Severity severity;
  const char* code;
  std::string message;
  std::string section;  // of update.ini; empty when none
  std::string key;
  int line;           // in update.ini, from 1; 0 when none
  std::string entry;  // the list entry as written; empty when none
};

// One line of update.ini as the panel reads it: a piece of at most 259
// characters, its line end removed.
struct DescriptionLine {
  int number;       // the line of the file it is a piece of, from 1
  bool continued;   // a later piece of a line longer than 259 characters
  int header;       // index of the last header line before it; -1: none
  std::u16string text;
};

// Where an entry the logic's lookup finds stands.
struct DescriptionEntry {
  int line;  // 0: not in the file
  std::u16string value;
};

// A package and its description, as the device-free checks read them.
struct Description {
  FileSystem* fileSystem;                  // holds the package
  std::u16string packageDirectory;         // in fileSystem, ending with a backslash
  std::string hostDirectory;               // the same directory on the host
  std::vector<std::u16string> placements;  // where a panel may hold the package
  FileSystem* device;                      // where Delete entries are resolved; nullptr: no device
  std::u16string path;                     // update.ini in fileSystem
  std::vector<DescriptionLine> lines;
  std::vector<Finding> findings;
};

void Add(Description* package, Severity severity, const char* code, const std::string& message);
// A finding about a key of update.ini; entry is the list entry, if any.
void AddAt(Description* package, Severity severity, const char* code, const std::string& message,
           const std::u16string& section, const std::u16string& key, const std::u16string& entry = u"");
const char* SeverityName(Severity severity);
Severity SeverityNamed(const char* name);


// The description's lines, read once.
std::vector<DescriptionLine> ReadDescriptionLines(FileSystem* fileSystem, const char16_t* path);
// The entry the logic's lookup finds: the first section of that name, its
// first line that is the key's entry.
DescriptionEntry FindEntry(const std::vector<DescriptionLine>& lines, const char16_t* section,
                           const char16_t* key);
// Index of the header that opens the section the lookup reads; -1: none.
int SectionHeader(const std::vector<DescriptionLine>& lines, const char16_t* section);
// Every list entry of a section that the lookup finds, by index.
std::map<int, DescriptionEntry> ListEntries(const std::vector<DescriptionLine>& lines,
                                            const char16_t* section);

// A device path as the device resolves it ("." skipped, ".." up, trailing
// full stops and blanks dropped), its components joined by backslashes,
// without a final one; "" is the root. false when a component is too long.
bool ResolveDevicePath(const std::u16string& path, std::u16string* resolved);
// Whether resolved path a is b or lies below it.
bool IsWithin(const std::u16string& a, const std::u16string& b);
// A path folded for comparison, as the device resolves it.
std::u16string PathKey(const std::u16string& path);

enum class EntryKind { None, File, Directory };
EntryKind KindAt(FileSystem* fileSystem, const std::u16string& devicePath);

void CheckEncoding(Description* package);
void CheckLongLines(Description* package);
void CheckVersion(Description* package);
void CheckTime(Description* package);
void CheckKeywords(Description* package);
void CheckMisplacedListKeys(Description* package);
void CheckList(Description* package, const char16_t* section);
// The Update entry naming Update.exe, with what becomes of its copy.
void CheckUpdaterListed(Description* package, const std::string& outcome);
void CheckHostNames(Description* package);
void CheckNamesDifferingInCase(Description* package);

// Reads the lines of update.ini and runs every check above; without a
// device, Update.exe listed is told as a panel takes it.
void CheckDescription(Description* package);
// The findings of the package in packageDirectory (of fileSystem; the host's
// hostDirectory) that need no device, the package placed as a panel may place it.
std::vector<Finding> DescriptionFindings(FileSystem* fileSystem, const std::u16string& packageDirectory,
                                         const std::string& hostDirectory);

}  // namespace nimbora
