#include "testing/fault_file_system.h"

namespace nimbora {

namespace {

FaultFileSystemState* StateOf(FileSystem* self) {
  return static_cast<FaultFileSystemState*>(self->state);
}

FileSystem* Parent(FileSystem* self) { return StateOf(self)->parent; }

bool RuleStrikes(const FaultRule& rule, FileOperation operation, int count) {
  if (rule.failAt == 0 || (rule.operation != operation && rule.operation != kAnyOperation)) {
    return false;
  }
  return count == rule.failAt || (rule.persistent && count > rule.failAt);
}

// Counts a call that may fail and decides it: 0 to forward it, else the error.
uint32_t Judge(FileSystem* self, FileOperation operation, const char16_t* path = nullptr,
               const char16_t* target = nullptr) {
  FaultFileSystemState* state = StateOf(self);
  int count = ++state->calls[operation];
  int failable = ++state->failableCalls;
  uint32_t error = state->hook != nullptr ? state->hook(state->hookContext, operation, path, target) : 0;
  int countForRule = state->rule.operation == kAnyOperation ? failable : count;
  if (error == 0 && RuleStrikes(state->rule, operation, countForRule)) error = state->rule.error;
  state->lastErrorIsOwn = error != 0;
  if (error != 0) {
    state->ownError = error;
    ++state->faultsInjected;
  }
  return error;
}

Stream* FaultOpen(FileSystem* self, const char16_t* path, const char16_t* mode) {
  if (Judge(self, kOperationOpen, path) != 0) return nullptr;
  return Parent(self)->open(Parent(self), path, mode);
}

size_t FaultRead(FileSystem* self, Stream* stream, void* buffer, size_t size) {
  if (Judge(self, kOperationRead) != 0) return 0;
  return Parent(self)->read(Parent(self), stream, buffer, size);
}

size_t FaultWrite(FileSystem* self, Stream* stream, const void* data, size_t size) {
  if (Judge(self, kOperationWrite) != 0) return 0;
  return Parent(self)->write(Parent(self), stream, data, size);
}

int FaultSeek(FileSystem* self, Stream* stream, long long offset, int origin) {
  if (Judge(self, kOperationSeek) != 0) return 0;
  return Parent(self)->seek(Parent(self), stream, offset, origin);
}

long long FaultTell(FileSystem* self, Stream* stream) {
  if (Judge(self, kOperationTell) != 0) return -1;
  return Parent(self)->tell(Parent(self), stream);
}

// A failed close still releases the stream, as a close whose flush failed does.
int FaultClose(FileSystem* self, Stream* stream) {
  uint32_t error = Judge(self, kOperationClose);
  int closed = Parent(self)->close(Parent(self), stream);
  return error != 0 ? 0 : closed;
}

Search* FaultFindFirst(FileSystem* self, const char16_t* pattern, DirectoryEntry* entry) {
  if (Judge(self, kOperationFindFirst, pattern) != 0) return nullptr;
  return Parent(self)->findFirst(Parent(self), pattern, entry);
}

int FaultFindNext(FileSystem* self, Search* search, DirectoryEntry* entry) {
  if (Judge(self, kOperationFindNext) != 0) return 0;
  return Parent(self)->findNext(Parent(self), search, entry);
}

void FaultFindClose(FileSystem* self, Search* search) {
  ++StateOf(self)->calls[kOperationFindClose];
  Parent(self)->findClose(Parent(self), search);
}

// The operations on one path, and those on a pair of paths, differ only in
// what they count and which operation of the parent they call.
template <FileOperation operation, int (*FileSystem::*forward)(FileSystem*, const char16_t*)>
int FaultOnPath(FileSystem* self, const char16_t* path) {
  if (Judge(self, operation, path) != 0) return 0;
  return (Parent(self)->*forward)(Parent(self), path);
}

template <FileOperation operation,
          int (*FileSystem::*forward)(FileSystem*, const char16_t*, const char16_t*)>
int FaultOnPaths(FileSystem* self, const char16_t* from, const char16_t* to) {
  if (Judge(self, operation, from, to) != 0) return 0;
  return (Parent(self)->*forward)(Parent(self), from, to);
}

int FaultSetAttributes(FileSystem* self, const char16_t* path, uint32_t attributes) {
  if (Judge(self, kOperationSetAttributes, path) != 0) return 0;
  return Parent(self)->setAttributes(Parent(self), path, attributes);
}

int FaultFlushStream(FileSystem* self, Stream* stream) {
  if (Judge(self, kOperationFlushStream) != 0) return 0;
  return Parent(self)->flushStream(Parent(self), stream);
}

uint32_t FaultLastError(FileSystem* self) {
  FaultFileSystemState* state = StateOf(self);
  return state->lastErrorIsOwn ? state->ownError : Parent(self)->lastError(Parent(self));
}

}  // namespace

void InitFaultFileSystem(FileSystem* fileSystem, FaultFileSystemState* state, FileSystem* parent) {
  *state = FaultFileSystemState{};
  state->parent = parent;
  *fileSystem = FileSystem{state,
                           FaultOpen,
                           FaultRead,
                           FaultWrite,
                           FaultSeek,
                           FaultTell,
                           FaultClose,
                           FaultFindFirst,
                           FaultFindNext,
                           FaultFindClose,
                           FaultOnPath<kOperationCreateDirectory, &FileSystem::createDirectory>,
                           FaultOnPath<kOperationRemoveDirectory, &FileSystem::removeDirectory>,
                           FaultOnPaths<kOperationCopyFile, &FileSystem::copyFile>,
                           FaultOnPath<kOperationDeleteFile, &FileSystem::deleteFile>,
                           FaultSetAttributes,
                           FaultLastError,
                           FaultFlushStream,
                           FaultOnPaths<kOperationMoveFile, &FileSystem::moveFile>,
                           FaultOnPath<kOperationFlushVolume, &FileSystem::flushVolume>};
}

void FailCall(FaultFileSystemState* state, FileOperation operation, int n, uint32_t error,
              bool persistent) {
  int counted = operation == kAnyOperation ? state->failableCalls : state->calls[operation];
  state->rule = FaultRule{operation, counted + n, persistent, error};
}

void SetFaultHook(FaultFileSystemState* state, FaultHook hook, void* context) {
  state->hook = hook;
  state->hookContext = context;
}

void ClearFaults(FaultFileSystemState* state) {
  state->rule = FaultRule{};
  state->hook = nullptr;
  state->hookContext = nullptr;
}

}  // namespace nimbora
