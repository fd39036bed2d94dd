#include "platform/host/host_name_search.h"

#include <dirent.h>
#include <sys/types.h>

#include <cstring>

#include "platform/host/host_utf8.h"

namespace nimbora {

namespace {

// Large enough for a directory of a few hundred entries in one read.
constexpr size_t kEntryBufferSize = 16384;

}  // namespace

// getdents64 rather than readdir: the scan runs for every new name a copy
// creates, and a stream would cost an allocation and two more calls each time.
bool FindNameNoCase(int directory, const char16_t* name, char* found, size_t capacity) {
  alignas(dirent64) char buffer[kEntryBufferSize];
  ssize_t filled;
  while ((filled = getdents64(directory, buffer, sizeof buffer)) > 0) {
    for (ssize_t offset = 0; offset < filled;) {
      const dirent64* entry = reinterpret_cast<const dirent64*>(buffer + offset);
      offset += entry->d_reclen;
      if (HostNameEqualsNoCase(entry->d_name, name) && strlen(entry->d_name) < capacity) {
        strcpy(found, entry->d_name);
        return true;
      }
    }
  }
  return false;
}

}  // namespace nimbora
