// The file-system seam: one record of operations, replaceable at run time so
// tests can wrap it (fault injection) and tools can run the logic over a
// simulated device. Paths are device paths ("\ResidentFlash\Nimbora\main.ini").
// Failing operations set a last-error code with the device's values.
#pragma once

#include <cstddef>
#include <cstdint>

namespace nimbora {

constexpr int kPathCapacity = 260;

constexpr uint32_t kAttributeReadOnly = 1;
constexpr uint32_t kAttributeDirectory = 16;
constexpr uint32_t kAttributeNormal = 128;

// The device's last-error codes, each named once here.
constexpr uint32_t kErrorFileNotFound = 2;
constexpr uint32_t kErrorPathNotFound = 3;
constexpr uint32_t kErrorAccessDenied = 5;
constexpr uint32_t kErrorNotEnoughMemory = 8;
constexpr uint32_t kErrorNoMoreFiles = 18;
constexpr uint32_t kErrorWriteFault = 29;
constexpr uint32_t kErrorGeneralFailure = 31;
constexpr uint32_t kErrorSharingViolation = 32;
constexpr uint32_t kErrorInvalidParameter = 87;
constexpr uint32_t kErrorDiskFull = 112;
constexpr uint32_t kErrorNegativeSeek = 131;
constexpr uint32_t kErrorDirectoryNotEmpty = 145;
constexpr uint32_t kErrorDirectory = 267;  // a file named where a directory is needed
constexpr uint32_t kErrorAlreadyExists = 183;

constexpr int kSeekSet = 0;
constexpr int kSeekCurrent = 1;
constexpr int kSeekEnd = 2;

struct Stream;      // an open byte stream, owned by the backend
struct Search;      // an open directory enumeration

struct DirectoryEntry {
  char16_t name[kPathCapacity];
  uint32_t attributes;
};

struct FileSystem {
  void* state;
  // Byte streams. Modes "r", "r+", "w+" as in the C runtime; data is never
  // translated here (the text layer in text_stream.h does that).
  Stream* (*open)(FileSystem* self, const char16_t* path, const char16_t* mode);
  size_t (*read)(FileSystem* self, Stream* stream, void* buffer, size_t size);
  size_t (*write)(FileSystem* self, Stream* stream, const void* data, size_t size);
  int (*seek)(FileSystem* self, Stream* stream, long long offset, int origin);  // 1 or 0
  long long (*tell)(FileSystem* self, Stream* stream);
  int (*close)(FileSystem* self, Stream* stream);  // 1 or 0 (a failed flush)

  // Directory enumeration with a pattern such as "\dir\*.*". findFirst gives
  // nullptr for a missing, empty or unreadable directory, and for a file
  // named as the directory (267).
  Search* (*findFirst)(FileSystem* self, const char16_t* pattern, DirectoryEntry* entry);
  int (*findNext)(FileSystem* self, Search* search, DirectoryEntry* entry);
  void (*findClose)(FileSystem* self, Search* search);

  // File operations: 1 on success, 0 with lastError set on failure.
  int (*createDirectory)(FileSystem* self, const char16_t* path);
  int (*removeDirectory)(FileSystem* self, const char16_t* path);
  int (*copyFile)(FileSystem* self, const char16_t* from, const char16_t* to);  // overwrites
  int (*deleteFile)(FileSystem* self, const char16_t* path);
  int (*setAttributes)(FileSystem* self, const char16_t* path, uint32_t attributes);

  uint32_t (*lastError)(FileSystem* self);

  // Durability, for changes that must survive a power cut. flushStream makes
  // a stream's data durable; moveFile renames a file only when the target does
  // not exist (183 otherwise) and makes the rename durable; flushVolume makes
  // everything written so far on the volume holding path durable.
  int (*flushStream)(FileSystem* self, Stream* stream);
  int (*moveFile)(FileSystem* self, const char16_t* from, const char16_t* to);
  int (*flushVolume)(FileSystem* self, const char16_t* path);
};

// The file system the logic uses; the program installs its backend at start.
void UseFileSystem(FileSystem* fileSystem);
FileSystem* CurrentFileSystem();

// Role-named calls through the current file system.
Stream* OpenStream(const char16_t* path, const char16_t* mode);
size_t ReadBytes(Stream* stream, void* buffer, size_t size);
size_t WriteBytes(Stream* stream, const void* data, size_t size);
int SeekStream(Stream* stream, long long offset, int origin);
long long StreamPosition(Stream* stream);
int CloseStream(Stream* stream);
Search* FindFirstEntry(const char16_t* pattern, DirectoryEntry* entry);
int FindNextEntry(Search* search, DirectoryEntry* entry);
void CloseSearch(Search* search);
int CreateDirectoryAt(const char16_t* path);
int RemoveEmptyDirectory(const char16_t* path);
int CopyFileOver(const char16_t* from, const char16_t* to);
int DeleteFileAt(const char16_t* path);
int SetAttributesAt(const char16_t* path, uint32_t attributes);
uint32_t LastErrorCode();
int FlushStream(Stream* stream);
int MoveFileNoReplace(const char16_t* from, const char16_t* to);
int FlushVolume(const char16_t* path);

}  // namespace nimbora
