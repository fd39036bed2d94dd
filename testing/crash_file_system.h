// A file system for tests that wraps another and cuts the power after the
// k-th change, in the manner of the crash tests of storage engines.
//
// Every change (a file created or emptied, bytes written, a copy, a delete,
// a move, a directory made or removed, attributes set, a flush) is counted and forwarded. After the cut every change fails and
// nothing more reaches the wrapped tree. SettleAfterCut then turns that tree
// into what a medium would hold when the power came back:
//  - changes to names (files created, deleted, moved, copied onto; directories,
//    attributes) stay, in order, as a journaled file system keeps them;
//  - a file's data is durable once a flush of its stream or of its volume
//    followed it; a move does not flush the moved data.
// Data that was not durable survives only as far as the loss model says.
// Install it with UseFileSystem; the logic cannot tell it from the real one.
#pragma once

#include <climits>
#include <cstddef>
#include <cstdint>

#include "platform/file_system.h"

namespace nimbora {

constexpr int kCrashTrackedFiles = 32;        // files with data not yet durable
constexpr int kCrashDataChanges = 1024;       // writes, per run
constexpr size_t kCrashBytes = 256 * 1024;    // their bytes and the durable contents
constexpr int kCrashOpenFiles = 8;            // streams and handles open at once
constexpr int kAllChanges = INT_MAX;
constexpr size_t kWholeWrite = SIZE_MAX;

// One write (size bytes at offset, kept at `bytes` in the pool) or one length
// cut (size = the new length) of a tracked file.
struct CrashDataChange {
  int file;    // tracked-file slot, -1 once the data became durable or went away
  int change;  // the change it belongs to, counting from 1
  bool cut;
  long long offset;
  size_t size;
  size_t bytes;
};

// A file with data not yet durable: its last durable content sits in the pool.
struct CrashTrackedFile {
  bool used;
  char16_t path[kPathCapacity];
  size_t durableStart;
  size_t durableSize;
};

struct CrashOpenFile {
  const void* object;  // a Stream of the wrapped file system
  char16_t path[kPathCapacity];
};

struct CrashFileSystemState {
  FileSystem* parent;
  int cutAfter;    // the change after which the power fails; 0 for never
  int changes;     // changes let through
  bool powerCut;
  bool overflow;   // something did not fit in the records: settling is refused
  bool lastErrorIsOwn;
  int moves;               // moves asked for
  int failMoveAt;          // the move that fails, the power staying on; 0 for none
  bool failedMoveHappens;  // it fails after it reached the wrapped tree
  CrashTrackedFile files[kCrashTrackedFiles];
  CrashOpenFile open[kCrashOpenFiles];
  CrashDataChange log[kCrashDataChanges];
  int logSize;
  unsigned char pool[kCrashBytes];
  size_t poolUsed;
};

void InitCrashFileSystem(FileSystem* fileSystem, CrashFileSystemState* state, FileSystem* parent);

// The power fails right after change k (k >= 1), counted from the start.
void CutPowerAfter(CrashFileSystemState* state, int k);

// Move n (n >= 1, counted from the start) fails once while the power stays
// on: before it reaches the wrapped tree or, happened, after (a medium that
// renamed the file but reported an error).
void FailMove(CrashFileSystemState* state, int n, bool happened);

// Rewrites every file whose data was not durable at the cut, through the
// wrapped file system: the file keeps its last durable content followed by
// its first keptChanges data changes since (0: the last durable content
// alone; kAllChanges: everything written). A write of the change the power
// failed in keeps only its first tornAt bytes (kWholeWrite: all of them).
// A copy counts as a cut to length 0 and one write. Returns 0 when the
// records overflowed (nothing is changed then) or a file cannot be rewritten.
int SettleAfterCut(CrashFileSystemState* state, int keptChanges, size_t tornAt);

}  // namespace nimbora
