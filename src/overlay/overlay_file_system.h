// A device held in memory. Reads fall through to a lower file system (or to
// nothing: then it is a plain in-memory device), changes stay in memory, and
// every change asked for is recorded in order, so a tool can run the logic
// over a real tree without touching it and report what the run would do.
// Names are matched ignoring case and errors carry the device's codes, as
// the host backend does. Tool and test side: it allocates freely.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace nimbora {

enum class OverlayChangeKind {
  DeleteFile,
  CopyFile,         // path is the source, target the copy
  CreateDirectory,
  RemoveDirectory,
  SetAttributes,
  WriteFile,        // opened for writing ("w+" or a first write)
  MoveFile,         // path is the source, target the new name
};

struct OverlayChange {
  OverlayChangeKind kind;
  std::u16string path;    // as the caller spelled it
  std::u16string target;  // copies and moves; empty otherwise
  bool replaced;          // a copy or write over a file that existed
  uint32_t attributes;    // SetAttributes
  long long bytes;        // a copy's size
  uint32_t error;         // 0 when it succeeded, else the device code given
};

struct OverlayTree;  // the in-memory tree, private to the overlay

struct OverlayFileSystem {
  FileSystem fileSystem;  // install with UseFileSystem(&overlay.fileSystem)
  OverlayTree* tree;
  uint32_t lastError;
  std::vector<OverlayChange> changes;
};

// lower may be nullptr. Free with FreeOverlayFileSystem.
void InitOverlayFileSystem(OverlayFileSystem* overlay, FileSystem* lower);
void FreeOverlayFileSystem(OverlayFileSystem* overlay);

// Shows lowerDirectory of another file system at devicePath (both ending in
// a backslash, e.g. a package directory at "\Storage Card\Update Nimbora\"),
// replacing whatever stood there; directories above it appear as needed.
// Call before the first change. Returns 0 when devicePath is no directory path.
int MountLower(OverlayFileSystem* overlay, const char16_t* devicePath, FileSystem* lower,
               const char16_t* lowerDirectory);

}  // namespace nimbora
