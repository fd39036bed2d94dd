#include "win32_platform.h"

#include <windows.h>

#include <climits>
#include <cstdio>
#ifndef _WIN32_WCE
#include <io.h>
#endif

#include "win32_handles.h"

namespace nimbora {

namespace {

static_assert(kAttributeReadOnly == FILE_ATTRIBUTE_READONLY &&
                  kAttributeDirectory == FILE_ATTRIBUTE_DIRECTORY &&
                  kAttributeNormal == FILE_ATTRIBUTE_NORMAL,
              "the seam's attributes are the system's");
static_assert(kErrorFileNotFound == ERROR_FILE_NOT_FOUND &&
                  kErrorPathNotFound == ERROR_PATH_NOT_FOUND &&
                  kErrorAccessDenied == ERROR_ACCESS_DENIED &&
                  kErrorNotEnoughMemory == ERROR_NOT_ENOUGH_MEMORY &&
                  kErrorNoMoreFiles == ERROR_NO_MORE_FILES &&
                  kErrorWriteFault == ERROR_WRITE_FAULT &&
                  kErrorGeneralFailure == ERROR_GEN_FAILURE &&
                  kErrorSharingViolation == ERROR_SHARING_VIOLATION &&
                  kErrorInvalidParameter == ERROR_INVALID_PARAMETER &&
                  kErrorDiskFull == ERROR_DISK_FULL &&
                  kErrorNegativeSeek == ERROR_NEGATIVE_SEEK &&
                  kErrorDirectoryNotEmpty == ERROR_DIR_NOT_EMPTY &&
                  kErrorDirectory == ERROR_DIRECTORY &&
                  kErrorAlreadyExists == ERROR_ALREADY_EXISTS,
              "the seam's error codes are the system's");
static_assert(kSeekSet == SEEK_SET && kSeekCurrent == SEEK_CUR && kSeekEnd == SEEK_END,
              "the seam's seek origins are the C runtime's");

FILE* AsFile(Stream* stream) { return reinterpret_cast<FILE*>(stream); }
HANDLE AsHandle(Search* search) { return reinterpret_cast<HANDLE>(search); }

Stream* Open(FileSystem*, const char16_t* path, const char16_t* mode) {
  // Always binary: the portable text layer does the UTF-8 and CR LF forms,
  // so both backends store the same bytes.
  wchar_t binaryMode[8];
  int length = 0;
  for (; mode[length] != u'\0' && length < 6; ++length) binaryMode[length] = mode[length];
  binaryMode[length++] = L'b';
  binaryMode[length] = L'\0';
  return reinterpret_cast<Stream*>(_wfopen(AsWide(path), binaryMode));
}

size_t Read(FileSystem*, Stream* stream, void* buffer, size_t size) {
  return fread(buffer, 1, size, AsFile(stream));
}

size_t Write(FileSystem*, Stream* stream, const void* data, size_t size) {
  return fwrite(data, 1, size, AsFile(stream));
}

// fseek and ftell take a 32-bit long here, as on the device (which has no
// 64-bit variants); profile files are far below that limit.
int Seek(FileSystem*, Stream* stream, long long offset, int origin) {
  if (offset > LONG_MAX || offset < LONG_MIN) return 0;
  return fseek(AsFile(stream), static_cast<long>(offset), origin) == 0 ? 1 : 0;
}

long long Tell(FileSystem*, Stream* stream) { return ftell(AsFile(stream)); }

int Close(FileSystem*, Stream* stream) { return fclose(AsFile(stream)) == 0 ? 1 : 0; }

void CopyEntry(const WIN32_FIND_DATAW& data, DirectoryEntry* entry) {
  static_assert(sizeof(data.cFileName) / sizeof(data.cFileName[0]) == kPathCapacity,
                "directory entry names hold MAX_PATH characters");
  for (int i = 0; i < kPathCapacity; ++i) entry->name[i] = data.cFileName[i];
  entry->name[kPathCapacity - 1] = u'\0';
  entry->attributes = data.dwFileAttributes;
}

// Desktop Windows also yields "." and ".." (the device does not); the logic
// skips every name that begins with a full stop either way.
Search* FindFirst(FileSystem*, const char16_t* pattern, DirectoryEntry* entry) {
  WIN32_FIND_DATAW data;
  HANDLE search = FindFirstFileW(AsWide(pattern), &data);
  if (search == INVALID_HANDLE_VALUE) return nullptr;
  CopyEntry(data, entry);
  return reinterpret_cast<Search*>(search);
}

int FindNext(FileSystem*, Search* search, DirectoryEntry* entry) {
  WIN32_FIND_DATAW data;
  if (!FindNextFileW(AsHandle(search), &data)) return 0;
  CopyEntry(data, entry);
  return 1;
}

void FindEnd(FileSystem*, Search* search) { FindClose(AsHandle(search)); }

int CreateDirectoryNamed(FileSystem*, const char16_t* path) {
  return CreateDirectoryW(AsWide(path), nullptr) ? 1 : 0;
}

int RemoveDirectoryNamed(FileSystem*, const char16_t* path) {
  return RemoveDirectoryW(AsWide(path)) ? 1 : 0;
}

#ifdef _WIN32_WCE
// Makes a file's data durable on the device. Nothing documents the data of
// CopyFile or the entry MoveFile changes as on the medium when they return,
// and CE 6.0's "Writing to a File" says to "use the FlushFileBuffers function
// to ensure that all data is written properly from the data buffer to the
// file", notably on FAT. FlushFileBuffers (CE 6.0) "writes the buffered
// information for the specified file to disk" and needs a handle with
// GENERIC_WRITE access, so the file is reopened for writing, its read-only
// flag lifted meanwhile.
int FlushFile(const wchar_t* path) {
  const DWORD attributes = GetFileAttributesW(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return 0;
  const DWORD writable = attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
  if (writable != attributes && !SetFileAttributesW(path, writable)) return 0;
  HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  int flushed = file != INVALID_HANDLE_VALUE && FlushFileBuffers(file);
  if (file != INVALID_HANDLE_VALUE && !CloseHandle(file)) flushed = 0;
  if (writable != attributes && !SetFileAttributesW(path, attributes)) flushed = 0;
  return flushed;
}
#else
// Desktop Windows is not the device; its copies and renames are left to it.
int FlushFile(const wchar_t*) { return 1; }
#endif

int CopyFileOverwriting(FileSystem*, const char16_t* from, const char16_t* to) {
  return CopyFileW(AsWide(from), AsWide(to), FALSE) && FlushFile(AsWide(to)) ? 1 : 0;
}

int DeleteFileNamed(FileSystem*, const char16_t* path) { return DeleteFileW(AsWide(path)) ? 1 : 0; }

int SetAttributes(FileSystem*, const char16_t* path, uint32_t attributes) {
  return SetFileAttributesW(AsWide(path), attributes) ? 1 : 0;
}

uint32_t LastError(FileSystem*) { return GetLastError(); }

// The device's C run-time gives a stream's system handle from _fileno; the
// desktop one gives a descriptor that has to be looked up.
HANDLE SystemHandle(FILE* file) {
#ifdef _WIN32_WCE
  return reinterpret_cast<HANDLE>(_fileno(file));
#else
  return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
#endif
}

int FlushStream(FileSystem*, Stream* stream) {
  FILE* file = AsFile(stream);
  if (fflush(file) != 0) return 0;
  return FlushFileBuffers(SystemHandle(file)) ? 1 : 0;
}

// MoveFile never replaces an existing target (183), which is what the
// replace protocol above it needs.
int MoveFileNamed(FileSystem*, const char16_t* from, const char16_t* to) {
  return MoveFileW(AsWide(from), AsWide(to)) && FlushFile(AsWide(to)) ? 1 : 0;
}

// Every copy and move has flushed its own file and every stream its data
// (FlushFileBuffers, above). CE 6.0 documents a whole file system's flush
// (FSSCTL_FLUSH_BUFFERS) but not what it would add to that: whether FAT
// writes a renamed entry with the file's flush, or a write-back disk cache
// holds blocks past it, depends on the panel's file system settings.
int FlushVolume(FileSystem*, const char16_t*) { return 1; }

}  // namespace

FileSystem* Win32FileSystem() {
  static FileSystem fileSystem{nullptr,
                               Open,
                               Read,
                               Write,
                               Seek,
                               Tell,
                               Close,
                               FindFirst,
                               FindNext,
                               FindEnd,
                               CreateDirectoryNamed,
                               RemoveDirectoryNamed,
                               CopyFileOverwriting,
                               DeleteFileNamed,
                               SetAttributes,
                               LastError,
                               FlushStream,
                               MoveFileNamed,
                               FlushVolume};
  return &fileSystem;
}

}  // namespace nimbora
