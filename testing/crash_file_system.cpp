#include "testing/crash_file_system.h"

#include <cstring>

#include "base/wide_string.h"

namespace nimbora {

namespace {

constexpr size_t kReadChunk = 4096;

CrashFileSystemState* StateOf(FileSystem* self) {
  return static_cast<CrashFileSystemState*>(self->state);
}

// The wrapped file system, for a call whose error is the wrapped one's.
FileSystem* Forward(FileSystem* self) {
  StateOf(self)->lastErrorIsOwn = false;
  return StateOf(self)->parent;
}

// Counts a change; false once the power is off, and the change fails.
bool Admit(FileSystem* self) {
  CrashFileSystemState* state = StateOf(self);
  state->lastErrorIsOwn = state->powerCut;
  if (state->powerCut) return false;
  state->powerCut = ++state->changes == state->cutAfter;
  return true;
}

bool Fits(CrashFileSystemState* state, size_t size) {
  if (state->poolUsed + size <= kCrashBytes) return true;
  state->overflow = true;
  return false;
}

// Appends the file's current bytes to the pool; 0 for a missing file.
size_t AppendContent(CrashFileSystemState* state, const char16_t* path) {
  FileSystem* parent = state->parent;
  Stream* stream = parent->open(parent, path, u"r");
  if (stream == nullptr) return 0;
  size_t start = state->poolUsed;
  while (Fits(state, kReadChunk)) {
    size_t got = parent->read(parent, stream, state->pool + state->poolUsed, kReadChunk);
    state->poolUsed += got;
    if (got < kReadChunk) break;
  }
  parent->close(parent, stream);
  return state->poolUsed - start;
}

int FindTracked(CrashFileSystemState* state, const char16_t* path) {
  for (int slot = 0; slot < kCrashTrackedFiles; ++slot) {
    if (state->files[slot].used && WideCompareNoCase(state->files[slot].path, path) == 0) {
      return slot;
    }
  }
  return -1;
}

// The slot of a file about to change; its content now is its durable one.
int Track(CrashFileSystemState* state, const char16_t* path) {
  int slot = FindTracked(state, path);
  if (slot >= 0) return slot;
  for (slot = 0; slot < kCrashTrackedFiles && state->files[slot].used; ++slot) {
  }
  if (slot == kCrashTrackedFiles) {
    state->overflow = true;
    return -1;
  }
  CrashTrackedFile* file = &state->files[slot];
  file->used = true;
  WideCopyBounded(file->path, path, kPathCapacity);
  file->durableStart = state->poolUsed;
  file->durableSize = AppendContent(state, path);
  return slot;
}

// The file's data is durable now, or the file is gone.
void Release(CrashFileSystemState* state, int slot) {
  if (slot < 0) return;
  state->files[slot].used = false;
  for (int i = 0; i < state->logSize; ++i) {
    if (state->log[i].file == slot) state->log[i].file = -1;
  }
}

// Records a data change; its bytes (for a write) are then appended to the pool.
CrashDataChange* Record(CrashFileSystemState* state, int slot, bool cut, long long offset,
                        size_t size) {
  if (slot < 0 || state->logSize == kCrashDataChanges) {
    state->overflow = true;
    return nullptr;
  }
  CrashDataChange* change = &state->log[state->logSize++];
  *change = CrashDataChange{slot, state->changes, cut, offset, size, state->poolUsed};
  return change;
}

void RecordWrite(CrashFileSystemState* state, int slot, long long offset, const void* data,
                 size_t size) {
  if (!Fits(state, size) || Record(state, slot, false, offset, size) == nullptr) return;
  memcpy(state->pool + state->poolUsed, data, size);
  state->poolUsed += size;
}

// A copied file is emptied and written whole.
void RecordCopy(CrashFileSystemState* state, int slot, const char16_t* path) {
  if (Record(state, slot, true, 0, 0) == nullptr) return;
  CrashDataChange* write = Record(state, slot, false, 0, 0);
  if (write != nullptr) write->size = AppendContent(state, path);
}

CrashOpenFile* OpenEntry(CrashFileSystemState* state, const void* object) {
  for (CrashOpenFile& entry : state->open) {
    if (entry.object == object) return &entry;
  }
  return nullptr;
}

void Register(CrashFileSystemState* state, const void* object, const char16_t* path) {
  CrashOpenFile* entry = OpenEntry(state, nullptr);
  if (entry == nullptr) {
    state->overflow = true;
    return;
  }
  entry->object = object;
  WideCopyBounded(entry->path, path, kPathCapacity);
}

void Unregister(CrashFileSystemState* state, const void* object) {
  CrashOpenFile* entry = OpenEntry(state, object);
  if (entry != nullptr) entry->object = nullptr;
}

// The tracked slot of an open stream or handle about to change.
int TrackOpen(CrashFileSystemState* state, const void* object) {
  CrashOpenFile* entry = OpenEntry(state, object);
  if (entry != nullptr) return Track(state, entry->path);
  state->overflow = true;
  return -1;
}

// The length of the first name of a path: its volume ("ResidentFlash").
int VolumeLength(const char16_t* path) {
  int length = 0;
  while (path[length] != 0 && !IsPathSeparator(path[length])) ++length;
  return length;
}

bool SameVolume(const char16_t* a, const char16_t* b) {
  while (IsPathSeparator(*a)) ++a;
  while (IsPathSeparator(*b)) ++b;
  int length = VolumeLength(a);
  return length == VolumeLength(b) && WideCompareNoCasePrefix(a, b, length) == 0;
}

Stream* CrashOpen(FileSystem* self, const char16_t* path, const char16_t* mode) {
  CrashFileSystemState* state = StateOf(self);
  bool empties = WideCompareNoCase(mode, u"w+") == 0;
  if (empties && !Admit(self)) return nullptr;
  int slot = empties ? Track(state, path) : -1;
  Stream* stream = Forward(self)->open(state->parent, path, mode);
  if (stream == nullptr) return nullptr;
  Register(state, stream, path);
  if (empties) Record(state, slot, true, 0, 0);
  return stream;
}

size_t CrashRead(FileSystem* self, Stream* stream, void* buffer, size_t size) {
  return Forward(self)->read(StateOf(self)->parent, stream, buffer, size);
}

size_t CrashWrite(FileSystem* self, Stream* stream, const void* data, size_t size) {
  CrashFileSystemState* state = StateOf(self);
  if (!Admit(self)) return 0;
  int slot = TrackOpen(state, stream);
  FileSystem* parent = Forward(self);
  long long offset = parent->tell(parent, stream);
  size_t written = parent->write(parent, stream, data, size);
  RecordWrite(state, slot, offset, data, written);
  return written;
}

int CrashSeek(FileSystem* self, Stream* stream, long long offset, int origin) {
  return Forward(self)->seek(StateOf(self)->parent, stream, offset, origin);
}

long long CrashTell(FileSystem* self, Stream* stream) {
  return Forward(self)->tell(StateOf(self)->parent, stream);
}

int CrashClose(FileSystem* self, Stream* stream) {
  Unregister(StateOf(self), stream);
  return Forward(self)->close(StateOf(self)->parent, stream);
}

Search* CrashFindFirst(FileSystem* self, const char16_t* pattern, DirectoryEntry* entry) {
  return Forward(self)->findFirst(StateOf(self)->parent, pattern, entry);
}

int CrashFindNext(FileSystem* self, Search* search, DirectoryEntry* entry) {
  return Forward(self)->findNext(StateOf(self)->parent, search, entry);
}

void CrashFindClose(FileSystem* self, Search* search) {
  Forward(self)->findClose(StateOf(self)->parent, search);
}

int CrashCreateDirectory(FileSystem* self, const char16_t* path) {
  return Admit(self) && Forward(self)->createDirectory(StateOf(self)->parent, path);
}

int CrashRemoveDirectory(FileSystem* self, const char16_t* path) {
  return Admit(self) && Forward(self)->removeDirectory(StateOf(self)->parent, path);
}

int CrashSetAttributes(FileSystem* self, const char16_t* path, uint32_t attributes) {
  return Admit(self) && Forward(self)->setAttributes(StateOf(self)->parent, path, attributes);
}

int CrashCopyFile(FileSystem* self, const char16_t* from, const char16_t* to) {
  CrashFileSystemState* state = StateOf(self);
  if (!Admit(self)) return 0;
  int slot = Track(state, to);
  int copied = Forward(self)->copyFile(state->parent, from, to);
  RecordCopy(state, slot, to);  // a failed copy may have left part of the file
  return copied;
}

int CrashDeleteFile(FileSystem* self, const char16_t* path) {
  CrashFileSystemState* state = StateOf(self);
  if (!Admit(self) || !Forward(self)->deleteFile(state->parent, path)) return 0;
  Release(state, FindTracked(state, path));
  return 1;
}

uint32_t CrashLastError(FileSystem* self) {
  CrashFileSystemState* state = StateOf(self);
  return state->lastErrorIsOwn ? kErrorWriteFault : state->parent->lastError(state->parent);
}

int CrashFlushStream(FileSystem* self, Stream* stream) {
  CrashFileSystemState* state = StateOf(self);
  if (!Admit(self) || !Forward(self)->flushStream(state->parent, stream)) return 0;
  CrashOpenFile* entry = OpenEntry(state, stream);
  if (entry != nullptr) Release(state, FindTracked(state, entry->path));
  return 1;
}

// The moved file's data that was not durable stays so under its new name.
int CrashMoveFile(FileSystem* self, const char16_t* from, const char16_t* to) {
  CrashFileSystemState* state = StateOf(self);
  if (!Admit(self)) return 0;
  bool fails = ++state->moves == state->failMoveAt;
  if (fails && !state->failedMoveHappens) {
    state->lastErrorIsOwn = true;
    return 0;
  }
  if (!Forward(self)->moveFile(state->parent, from, to)) return 0;
  int slot = FindTracked(state, from);
  if (slot >= 0) WideCopyBounded(state->files[slot].path, to, kPathCapacity);
  state->lastErrorIsOwn = fails;
  return fails ? 0 : 1;
}

int CrashFlushVolume(FileSystem* self, const char16_t* path) {
  CrashFileSystemState* state = StateOf(self);
  if (!Admit(self) || !Forward(self)->flushVolume(state->parent, path)) return 0;
  for (int slot = 0; slot < kCrashTrackedFiles; ++slot) {
    if (state->files[slot].used && SameVolume(state->files[slot].path, path)) {
      Release(state, slot);
    }
  }
  return 1;
}

// Lays one data change onto the content being rebuilt at content[0..*size).
bool Replay(const CrashFileSystemState* state, const CrashDataChange& change, size_t tornAt,
            unsigned char* content, size_t capacity, size_t* size) {
  size_t offset = static_cast<size_t>(change.offset);
  size_t bytes = change.cut ? 0 : change.size;
  if (!change.cut && change.change == state->cutAfter && bytes > tornAt) bytes = tornAt;
  size_t end = change.cut ? offset : offset + bytes;
  if (end > capacity) return false;
  if (end > *size) memset(content + *size, 0, end - *size);
  memcpy(content + offset, state->pool + change.bytes, bytes);
  if (change.cut || end > *size) *size = end;
  return true;
}

// Rewrites one file with its durable content and its kept changes, built in
// the free end of the pool.
bool Settle(CrashFileSystemState* state, int slot, int keptChanges, size_t tornAt) {
  FileSystem* parent = state->parent;
  const CrashTrackedFile& file = state->files[slot];
  Stream* probe = parent->open(parent, file.path, u"r");
  if (probe == nullptr) return true;  // deleted, or never created
  parent->close(parent, probe);
  unsigned char* content = state->pool + state->poolUsed;
  size_t capacity = kCrashBytes - state->poolUsed;
  size_t size = file.durableSize;
  if (size > capacity) return false;
  memcpy(content, state->pool + file.durableStart, size);
  int kept = 0;
  for (int i = 0; i < state->logSize && kept < keptChanges; ++i) {
    if (state->log[i].file != slot) continue;
    if (!Replay(state, state->log[i], tornAt, content, capacity, &size)) return false;
    ++kept;
  }
  Stream* stream = parent->open(parent, file.path, u"w+");
  if (stream == nullptr) return false;
  bool written = parent->write(parent, stream, content, size) == size;
  return parent->close(parent, stream) && written;
}

}  // namespace

void InitCrashFileSystem(FileSystem* fileSystem, CrashFileSystemState* state, FileSystem* parent) {
  memset(state, 0, sizeof *state);
  state->parent = parent;
  *fileSystem = FileSystem{state,
                           CrashOpen,
                           CrashRead,
                           CrashWrite,
                           CrashSeek,
                           CrashTell,
                           CrashClose,
                           CrashFindFirst,
                           CrashFindNext,
                           CrashFindClose,
                           CrashCreateDirectory,
                           CrashRemoveDirectory,
                           CrashCopyFile,
                           CrashDeleteFile,
                           CrashSetAttributes,
                           CrashLastError,
                           CrashFlushStream,
                           CrashMoveFile,
                           CrashFlushVolume};
}

void CutPowerAfter(CrashFileSystemState* state, int k) { state->cutAfter = k; }

void FailMove(CrashFileSystemState* state, int n, bool happened) {
  state->failMoveAt = n;
  state->failedMoveHappens = happened;
}

int SettleAfterCut(CrashFileSystemState* state, int keptChanges, size_t tornAt) {
  if (state->overflow) return 0;
  for (int slot = 0; slot < kCrashTrackedFiles; ++slot) {
    if (!state->files[slot].used) continue;
    if (!Settle(state, slot, keptChanges, tornAt)) return 0;
    Release(state, slot);
  }
  return 1;
}

}  // namespace nimbora
