// A file system for tests that wraps another: every call is counted and
// forwarded, and a chosen call can fail with a chosen device error instead.
// Install it with UseFileSystem; the logic cannot tell it from the real one.
#pragma once

#include <cstdint>

#include "platform/file_system.h"

namespace nimbora {

enum FileOperation {
  kOperationOpen,
  kOperationRead,
  kOperationWrite,
  kOperationSeek,
  kOperationTell,
  kOperationClose,
  kOperationFindFirst,
  kOperationFindNext,
  kOperationFindClose,
  kOperationCreateDirectory,
  kOperationRemoveDirectory,
  kOperationCopyFile,
  kOperationDeleteFile,
  kOperationSetAttributes,
  kOperationFlushStream,
  kOperationMoveFile,
  kOperationFlushVolume,
  kOperationCount,
  kAnyOperation = kOperationCount,
};

// Decides one call: 0 lets it through, any other value fails it with that
// code. path is the call's path or pattern (nullptr for calls on an open
// stream, search or handle); target is a copy's or a move's target, otherwise nullptr.
typedef uint32_t (*FaultHook)(void* context, FileOperation operation, const char16_t* path,
                              const char16_t* target);

struct FaultRule {
  FileOperation operation;  // or kAnyOperation
  int failAt;               // the call count at which the fault strikes; 0 for none
  bool persistent;          // every later call of the operation fails too
  uint32_t error;
};

constexpr int kFaultMediumObjects = 16;

// A medium that fails for good from one call on, as a card pulled from its
// slot: every call on a path below its prefix, or on a stream or search
// opened there, counts, and from the failFrom-th on each one fails.
struct FaultMedium {
  const char16_t* prefix;  // "\Storage Card\"; nullptr for none
  int failFrom;            // 0 for never
  uint32_t error;
  int calls;
  const void* open[kFaultMediumObjects];  // its streams and searches
};

struct FaultFileSystemState {
  FileSystem* parent;
  FaultRule rule;
  FaultMedium medium;
  FaultHook hook;
  void* hookContext;
  int calls[kOperationCount];  // every call, by operation
  int failableCalls;           // all calls but findClose, which cannot fail
  int faultsInjected;
  uint32_t ownError;
  bool lastErrorIsOwn;  // the last call was failed here rather than by the parent
};

void InitFaultFileSystem(FileSystem* fileSystem, FaultFileSystemState* state, FileSystem* parent);

// Fails the nth call of operation from now on (n >= 1), counting calls of that
// operation, or every failable call for kAnyOperation. Replaces an earlier rule.
void FailCall(FaultFileSystemState* state, FileOperation operation, int n, uint32_t error,
              bool persistent);
// Fails every call on the medium below prefix from its nth call from now on
// (n >= 1), with error; n 0 only counts its calls. The prefix must outlive
// the state's use.
void PullMedium(FaultFileSystemState* state, const char16_t* prefix, int n, uint32_t error);
void SetFaultHook(FaultFileSystemState* state, FaultHook hook, void* context);
// Lets every call through again; the counts go on.
void ClearFaults(FaultFileSystemState* state);

}  // namespace nimbora
