#include "testing/fault_file_system.h"

#include <initializer_list>

#include "base/wide_string.h"

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

const void** MediumSlot(FaultMedium* medium, const void* object) {
  for (const void*& slot : medium->open) {
    if (slot == object) return &slot;
  }
  return nullptr;
}

bool OnMedium(FaultMedium* medium, const char16_t* path, const char16_t* target,
              const void* object) {
  if (medium->prefix == nullptr) return false;
  int length = WideLength(medium->prefix);
  for (const char16_t* name : {path, target}) {
    if (name != nullptr && WideCompareNoCasePrefix(name, medium->prefix, length) == 0) return true;
  }
  return object != nullptr && MediumSlot(medium, object) != nullptr;
}

// Counts a call on the pulled medium; true when it fails.
bool MediumFails(FaultMedium* medium, const char16_t* path, const char16_t* target,
                 const void* object) {
  if (!OnMedium(medium, path, target, object)) return false;
  return ++medium->calls >= medium->failFrom && medium->failFrom != 0;
}

// A stream or search opened on the medium fails with it.
void Remember(FaultFileSystemState* state, const char16_t* path, const void* object) {
  if (object == nullptr || !OnMedium(&state->medium, path, nullptr, nullptr)) return;
  const void** slot = MediumSlot(&state->medium, nullptr);
  if (slot != nullptr) *slot = object;
}

void Forget(FaultFileSystemState* state, const void* object) {
  const void** slot = MediumSlot(&state->medium, object);
  if (slot != nullptr) *slot = nullptr;
}

// Counts a call that may fail and decides it: 0 to forward it, else the error.
// object is the stream or search a call works on.
uint32_t Judge(FileSystem* self, FileOperation operation, const char16_t* path = nullptr,
               const char16_t* target = nullptr, const void* object = nullptr) {
  FaultFileSystemState* state = StateOf(self);
  int count = ++state->calls[operation];
  int failable = ++state->failableCalls;
  uint32_t error = state->hook != nullptr ? state->hook(state->hookContext, operation, path, target) : 0;
  int countForRule = state->rule.operation == kAnyOperation ? failable : count;
  if (error == 0 && RuleStrikes(state->rule, operation, countForRule)) error = state->rule.error;
  if (MediumFails(&state->medium, path, target, object) && error == 0) error = state->medium.error;
  state->lastErrorIsOwn = error != 0;
  if (error != 0) {
    state->ownError = error;
    ++state->faultsInjected;
  }
  return error;
}

Stream* FaultOpen(FileSystem* self, const char16_t* path, const char16_t* mode) {
  if (Judge(self, kOperationOpen, path) != 0) return nullptr;
  Stream* stream = Parent(self)->open(Parent(self), path, mode);
  Remember(StateOf(self), path, stream);
  return stream;
}

size_t FaultRead(FileSystem* self, Stream* stream, void* buffer, size_t size) {
  if (Judge(self, kOperationRead, nullptr, nullptr, stream) != 0) return 0;
  return Parent(self)->read(Parent(self), stream, buffer, size);
}

size_t FaultWrite(FileSystem* self, Stream* stream, const void* data, size_t size) {
  if (Judge(self, kOperationWrite, nullptr, nullptr, stream) != 0) return 0;
  return Parent(self)->write(Parent(self), stream, data, size);
}

int FaultSeek(FileSystem* self, Stream* stream, long long offset, int origin) {
  if (Judge(self, kOperationSeek, nullptr, nullptr, stream) != 0) return 0;
  return Parent(self)->seek(Parent(self), stream, offset, origin);
}

long long FaultTell(FileSystem* self, Stream* stream) {
  if (Judge(self, kOperationTell, nullptr, nullptr, stream) != 0) return -1;
  return Parent(self)->tell(Parent(self), stream);
}

// A failed close still releases the stream, as a close whose flush failed does.
int FaultClose(FileSystem* self, Stream* stream) {
  uint32_t error = Judge(self, kOperationClose, nullptr, nullptr, stream);
  Forget(StateOf(self), stream);
  int closed = Parent(self)->close(Parent(self), stream);
  return error != 0 ? 0 : closed;
}

Search* FaultFindFirst(FileSystem* self, const char16_t* pattern, DirectoryEntry* entry) {
  if (Judge(self, kOperationFindFirst, pattern) != 0) return nullptr;
  Search* search = Parent(self)->findFirst(Parent(self), pattern, entry);
  Remember(StateOf(self), pattern, search);
  return search;
}

int FaultFindNext(FileSystem* self, Search* search, DirectoryEntry* entry) {
  if (Judge(self, kOperationFindNext, nullptr, nullptr, search) != 0) return 0;
  return Parent(self)->findNext(Parent(self), search, entry);
}

void FaultFindClose(FileSystem* self, Search* search) {
  ++StateOf(self)->calls[kOperationFindClose];
  Forget(StateOf(self), search);
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
  if (Judge(self, kOperationFlushStream, nullptr, nullptr, stream) != 0) return 0;
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

void PullMedium(FaultFileSystemState* state, const char16_t* prefix, int n, uint32_t error) {
  state->medium.prefix = prefix;
  state->medium.failFrom = n == 0 ? 0 : state->medium.calls + n;
  state->medium.error = error;
}

void SetFaultHook(FaultFileSystemState* state, FaultHook hook, void* context) {
  state->hook = hook;
  state->hookContext = context;
}

void ClearFaults(FaultFileSystemState* state) {
  state->rule = FaultRule{};
  state->medium.failFrom = 0;
  state->hook = nullptr;
  state->hookContext = nullptr;
}

}  // namespace nimbora
