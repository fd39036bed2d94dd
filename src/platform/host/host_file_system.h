// The host file system's state, which the backend's session holds: device
// paths mapped onto a directory tree below a root that the program chooses,
// with the directories it has listed. What its own files share is in
// host_file_operations.h. Memory comes from new and the standard containers
// only.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>

#include "platform/file_system.h"
#include "host_platform.h"

namespace nimbora {

// The entries of one directory, by folded device name (several host names
// may differ in letter case alone), and the directory's change time when
// they were listed.
struct HostDirectoryNames {
  timespec changed{};
  bool listed = false;
  // Made by this file system in this session: it holds only what was put
  // there through it, so its list needs no check of the change time.
  bool madeHere = false;
  std::unordered_multimap<std::u16string, std::string> names;
};

// Directories already listed for matching names ignoring case, so that a
// copy of thousands of files lists each target directory once instead of
// once a file. A list holds while its directory's change time stays what it
// was; the file system's own changes go into the lists as it makes them.
// Kernels with fine-grained change times give any later change a new time;
// on others a change by another process in the same clock tick as one of
// ours may go unseen, which the Updater, the only writer while it runs,
// never meets.
struct HostNameCache {
  HostNameCache() = default;
  // Moving hands the descriptor over; the cache moved from closes the one it had.
  HostNameCache(HostNameCache&& other) noexcept { *this = std::move(other); }
  HostNameCache& operator=(HostNameCache&& other) noexcept;
  ~HostNameCache();

  int root = -1;  // the root, held open so that spelled paths resolve beneath it
  std::map<std::pair<dev_t, ino_t>, HostDirectoryNames> listings;
  // The directories made here, by their path below the root as made.
  std::unordered_map<std::string, HostDirectoryNames*> madeHere;
};

struct HostFileSystemState {
  char root[kHostPathCapacity];  // host directory that stands for the device's "\"
  uint32_t lastError;
  mode_t creationMask;  // the process's umask, for opening new files with the final mode
  HostNameCache names;
};

// Fills fileSystem with the host operations over root, forgetting what state
// knew of an earlier root. Returns 0 (and leaves fileSystem untouched) when
// root is empty or does not fit.
int InitHostFileSystem(FileSystem* fileSystem, HostFileSystemState* state, const char* root);

}  // namespace nimbora
