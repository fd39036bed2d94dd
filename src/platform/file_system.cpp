#include "platform/file_system.h"

namespace nimbora {

namespace {
FileSystem* current = nullptr;
}

void UseFileSystem(FileSystem* fileSystem) { current = fileSystem; }
FileSystem* CurrentFileSystem() { return current; }

Stream* OpenStream(const char16_t* path, const char16_t* mode) {
  return current->open(current, path, mode);
}
size_t ReadBytes(Stream* stream, void* buffer, size_t size) {
  return current->read(current, stream, buffer, size);
}
size_t WriteBytes(Stream* stream, const void* data, size_t size) {
  return current->write(current, stream, data, size);
}
int SeekStream(Stream* stream, long long offset, int origin) {
  return current->seek(current, stream, offset, origin);
}
long long StreamPosition(Stream* stream) { return current->tell(current, stream); }
int CloseStream(Stream* stream) { return current->close(current, stream); }
Search* FindFirstEntry(const char16_t* pattern, DirectoryEntry* entry) {
  return current->findFirst(current, pattern, entry);
}
int FindNextEntry(Search* search, DirectoryEntry* entry) {
  return current->findNext(current, search, entry);
}
void CloseSearch(Search* search) { current->findClose(current, search); }
int CreateDirectoryAt(const char16_t* path) { return current->createDirectory(current, path); }
int RemoveEmptyDirectory(const char16_t* path) { return current->removeDirectory(current, path); }
int CopyFileOver(const char16_t* from, const char16_t* to) {
  return current->copyFile(current, from, to);
}
int DeleteFileAt(const char16_t* path) { return current->deleteFile(current, path); }
int SetAttributesAt(const char16_t* path, uint32_t attributes) {
  return current->setAttributes(current, path, attributes);
}
uint32_t LastErrorCode() { return current->lastError(current); }
int FlushStream(Stream* stream) { return current->flushStream(current, stream); }
int MoveFileNoReplace(const char16_t* from, const char16_t* to) {
  return current->moveFile(current, from, to);
}
int FlushVolume(const char16_t* path) { return current->flushVolume(current, path); }

}  // namespace nimbora
