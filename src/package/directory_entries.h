// How the walks over a package or application tree read the directory
// enumeration: which entries they pass over, which they enter, and whether
// an enumeration that yielded nothing (more) simply came to its end.
#pragma once

#include "platform/file_system.h"

namespace nimbora {

constexpr char16_t kEveryEntry[] = u"*.*";

// Names beginning with a full stop are "." and ".." and hidden files; the
// walks leave them all alone.
inline bool IsPassedOver(const DirectoryEntry& entry) { return entry.name[0] == u'.'; }

inline bool IsDirectory(const DirectoryEntry& entry) {
  return (entry.attributes & kAttributeDirectory) != 0;
}

// A first call may find no entry (2) or no such directory (3) and still
// have read everything there is; any other code means entries were missed.
inline bool NothingToEnumerate() {
  uint32_t code = LastErrorCode();
  return code == kErrorFileNotFound || code == kErrorPathNotFound || code == kErrorNoMoreFiles;
}
inline bool EnumerationEnded() { return LastErrorCode() == kErrorNoMoreFiles; }

}  // namespace nimbora
