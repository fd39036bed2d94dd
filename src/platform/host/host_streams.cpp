#include "platform/host/host_backend.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <new>

#include "base/wide_string.h"

namespace nimbora {

// Unbuffered: the text layer reads and writes in chunks of its own.
struct Stream {
  int descriptor;
};

struct FileHandle {
  int descriptor;
  long long pointer;
};

namespace {

bool OpenFlags(const char16_t* mode, int* flags) {
  if (WideCompareNoCase(mode, u"r") == 0) *flags = O_RDONLY;
  else if (WideCompareNoCase(mode, u"r+") == 0) *flags = O_RDWR;
  else if (WideCompareNoCase(mode, u"w+") == 0) *flags = O_RDWR | O_CREAT | O_TRUNC;
  else return false;
  return true;
}

int SeekOrigin(int origin) {
  if (origin == kSeekCurrent) return SEEK_CUR;
  return origin == kSeekEnd ? SEEK_END : SEEK_SET;
}

bool IsKnownOrigin(int origin) {
  return origin == kSeekSet || origin == kSeekCurrent || origin == kSeekEnd;
}

}  // namespace

Stream* HostOpen(FileSystem* self, const char16_t* path, const char16_t* mode) {
  int flags;
  char hostPath[kHostPathCapacity];
  if (!OpenFlags(mode, &flags)) {
    Fail(self, kErrorInvalidParameter);
    return nullptr;
  }
  struct stat status;
  if (!MapPath(self, path, hostPath)) return nullptr;
  int descriptor = OpenHostFile(self, hostPath, flags, &status);
  if (descriptor < 0) return nullptr;
  Stream* stream = new (std::nothrow) Stream{descriptor};
  if (stream == nullptr) {
    close(descriptor);
    Fail(self, kErrorNotEnoughMemory);
  }
  return stream;
}

size_t HostRead(FileSystem* self, Stream* stream, void* buffer, size_t size) {
  size_t done = 0;
  while (done < size) {
    ssize_t got = read(stream->descriptor, static_cast<char*>(buffer) + done, size - done);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      FailWithErrno(self);
      break;
    }
    done += static_cast<size_t>(got);
  }
  return done;
}

size_t HostWrite(FileSystem* self, Stream* stream, const void* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    ssize_t put = write(stream->descriptor, static_cast<const char*>(data) + done, size - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      FailWithErrno(self);
      break;
    }
    done += static_cast<size_t>(put);
  }
  return done;
}

int HostSeek(FileSystem* self, Stream* stream, long long offset, int origin) {
  if (!IsKnownOrigin(origin)) return Fail(self, kErrorInvalidParameter);
  if (lseek(stream->descriptor, static_cast<off_t>(offset), SeekOrigin(origin)) >= 0) return 1;
  return errno == EINVAL ? Fail(self, kErrorNegativeSeek) : FailWithErrno(self);
}

long long HostTell(FileSystem* self, Stream* stream) {
  off_t position = lseek(stream->descriptor, 0, SEEK_CUR);
  if (position < 0) FailWithErrno(self);
  return position;
}

int HostClose(FileSystem* self, Stream* stream) {
  int result = close(stream->descriptor);
  delete stream;
  return result == 0 ? 1 : FailWithErrno(self);
}

FileHandle* HostOpenExisting(FileSystem* self, const char16_t* path) {
  char hostPath[kHostPathCapacity];
  struct stat status;
  if (!MapPath(self, path, hostPath)) return nullptr;
  int descriptor = OpenHostFile(self, hostPath, O_WRONLY, &status);
  if (descriptor < 0) return nullptr;
  FileHandle* file = new (std::nothrow) FileHandle{descriptor, 0};
  if (file == nullptr) {
    close(descriptor);
    Fail(self, kErrorNotEnoughMemory);
  }
  return file;
}

int HostSetFilePointer(FileSystem* self, FileHandle* file, long long offset) {
  if (offset < 0) return Fail(self, kErrorNegativeSeek);
  file->pointer = offset;
  return 1;
}

int HostSetEndOfFile(FileSystem* self, FileHandle* file) {
  if (ftruncate(file->descriptor, static_cast<off_t>(file->pointer)) == 0) return 1;
  return FailWithErrno(self);
}

int HostFlushStream(FileSystem* self, Stream* stream) {
  if (fdatasync(stream->descriptor) == 0) return 1;
  return FailWithErrno(self);
}

void HostCloseHandle(FileSystem*, FileHandle* file) {
  close(file->descriptor);
  delete file;
}

}  // namespace nimbora
