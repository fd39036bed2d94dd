// The Windows file system behind the seam, as the logic relies on it: the
// device's error codes, device paths on the current drive, overwriting
// copies, untranslated byte streams, moves and flushes.
#include "platform/win32/win32_platform.h"

#include <gtest/gtest.h>

#include "platform/text_stream.h"

#include <string>

namespace nimbora {
namespace {

// Device paths are root-relative; each test works in its own directory at
// the root of the current drive.
const std::u16string kRoot = u"\\nimbora-backend-test\\";

class Win32FileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs = Win32FileSystem();
    UseFileSystem(fs);
    RemoveAll();
    ASSERT_EQ(fs->createDirectory(fs, kRoot.c_str()), 1);
  }
  void TearDown() override { RemoveAll(); }

  // Leaves at most one level of files below the root, which is all the tests make.
  void RemoveAll() {
    DirectoryEntry entry;
    std::u16string pattern = kRoot + u"*.*";
    if (Search* search = fs->findFirst(fs, pattern.c_str(), &entry)) {
      do {
        if (entry.name[0] == u'.') continue;
        std::u16string path = kRoot + entry.name;
        fs->setAttributes(fs, path.c_str(), kAttributeNormal);
        if (entry.attributes & kAttributeDirectory) {
          fs->removeDirectory(fs, path.c_str());
        } else {
          fs->deleteFile(fs, path.c_str());
        }
      } while (fs->findNext(fs, search, &entry));
      fs->findClose(fs, search);
    }
    fs->removeDirectory(fs, kRoot.c_str());
  }

  void WriteFile(const std::u16string& path, const std::string& bytes) {
    Stream* stream = fs->open(fs, path.c_str(), u"w+");
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(fs->write(fs, stream, bytes.data(), bytes.size()), bytes.size());
    EXPECT_EQ(fs->close(fs, stream), 1);
  }

  std::string ReadFile(const std::u16string& path) {
    Stream* stream = fs->open(fs, path.c_str(), u"r");
    if (stream == nullptr) return "<missing>";
    char buffer[256];
    size_t size = fs->read(fs, stream, buffer, sizeof buffer);
    fs->close(fs, stream);
    return std::string(buffer, size);
  }

  FileSystem* fs = nullptr;
};

TEST_F(Win32FileSystemTest, StreamsKeepBytesUntranslated) {
  const std::string bytes = "line\nnext\r\nend\x1a\xff";
  WriteFile(kRoot + u"bytes.ini", bytes);
  EXPECT_EQ(ReadFile(kRoot + u"bytes.ini"), bytes);
}

// The text layer stores the device's UTF-8 and CR LF; a stream in the C
// runtime's text mode would turn each CR LF into CR CR LF.
TEST_F(Win32FileSystemTest, TextLayerStoresCrLfAndUtf8) {
  const std::u16string path = kRoot + u"main.ini";
  Stream* stream = fs->open(fs, path.c_str(), u"w+");
  ASSERT_NE(stream, nullptr);
  EXPECT_EQ(PrintText(stream, u"[Main]\n%s=%s\n", u"Title", u"Z\u00fcrich"), 1);
  EXPECT_EQ(fs->close(fs, stream), 1);
  EXPECT_EQ(ReadFile(path), "[Main]\r\nTitle=Z\xc3\xbcrich\r\n");

  stream = fs->open(fs, path.c_str(), u"r");
  ASSERT_NE(stream, nullptr);
  char16_t line[32];
  ASSERT_GT(ReadTextLine(stream, line, 32), 0);
  EXPECT_EQ(std::u16string(line), u"[Main]\n");
  ASSERT_GT(ReadTextLine(stream, line, 32), 0);
  EXPECT_EQ(std::u16string(line), u"Title=Z\u00fcrich\n");
  fs->close(fs, stream);
}

TEST_F(Win32FileSystemTest, StreamModesAndPositions) {
  EXPECT_EQ(fs->open(fs, (kRoot + u"absent.ini").c_str(), u"r+"), nullptr);
  WriteFile(kRoot + u"main.ini", "0123456789");
  Stream* stream = fs->open(fs, (kRoot + u"main.ini").c_str(), u"r+");
  ASSERT_NE(stream, nullptr);
  struct Move {
    long long offset;
    int origin;
    long long position;
  };
  for (const Move& move : {Move{0, kSeekEnd, 10}, Move{4, kSeekSet, 4}, Move{-1, kSeekCurrent, 3}}) {
    EXPECT_EQ(fs->seek(fs, stream, move.offset, move.origin), 1);
    EXPECT_EQ(fs->tell(fs, stream), move.position);
  }
  EXPECT_EQ(fs->write(fs, stream, "x", 1), 1u);
  EXPECT_EQ(fs->close(fs, stream), 1);
  EXPECT_EQ(ReadFile(kRoot + u"main.ini"), "012x456789");
}

TEST_F(Win32FileSystemTest, FailuresCarryTheDeviceErrorCodes) {
  EXPECT_EQ(fs->createDirectory(fs, kRoot.c_str()), 0);
  EXPECT_EQ(fs->lastError(fs), kErrorAlreadyExists);

  WriteFile(kRoot + u"a.txt", "a");
  EXPECT_EQ(fs->copyFile(fs, (kRoot + u"a.txt").c_str(), (kRoot + u"no\\such\\a.txt").c_str()), 0);
  EXPECT_EQ(fs->lastError(fs), kErrorPathNotFound);

  EXPECT_EQ(fs->createDirectory(fs, (kRoot + u"no\\such").c_str()), 0);
  EXPECT_EQ(fs->lastError(fs), kErrorPathNotFound);
}

TEST_F(Win32FileSystemTest, CopyOverwritesAndReadOnlyNeedsNormalAttributes) {
  WriteFile(kRoot + u"new.txt", "new");
  WriteFile(kRoot + u"old.txt", "old content");
  EXPECT_EQ(fs->copyFile(fs, (kRoot + u"new.txt").c_str(), (kRoot + u"old.txt").c_str()), 1);
  EXPECT_EQ(ReadFile(kRoot + u"old.txt"), "new");

  const std::u16string locked = kRoot + u"locked.txt";
  WriteFile(locked, "x");
  EXPECT_EQ(fs->setAttributes(fs, locked.c_str(), kAttributeReadOnly), 1);
  EXPECT_EQ(fs->deleteFile(fs, locked.c_str()), 0);
  EXPECT_EQ(fs->lastError(fs), kErrorAccessDenied);
  EXPECT_EQ(fs->setAttributes(fs, locked.c_str(), kAttributeNormal), 1);
  EXPECT_EQ(fs->deleteFile(fs, locked.c_str()), 1);
  EXPECT_EQ(ReadFile(locked), "<missing>");
}

TEST_F(Win32FileSystemTest, EnumerationYieldsNamesAndDirectoryFlags) {
  WriteFile(kRoot + u"File.txt", "f");
  ASSERT_EQ(fs->createDirectory(fs, (kRoot + u"Sub").c_str()), 1);

  std::u16string pattern = kRoot + u"*.*";
  DirectoryEntry entry;
  Search* search = fs->findFirst(fs, pattern.c_str(), &entry);
  ASSERT_NE(search, nullptr);
  int files = 0, directories = 0;
  do {
    std::u16string name = entry.name;
    if (name == u"File.txt" && !(entry.attributes & kAttributeDirectory)) ++files;
    if (name == u"Sub" && (entry.attributes & kAttributeDirectory)) ++directories;
  } while (fs->findNext(fs, search, &entry));
  fs->findClose(fs, search);
  EXPECT_EQ(files, 1);
  EXPECT_EQ(directories, 1);

  EXPECT_EQ(fs->removeDirectory(fs, (kRoot + u"Sub").c_str()), 1);
  EXPECT_EQ(fs->findFirst(fs, (kRoot + u"Sub\\*.*").c_str(), &entry), nullptr);
}

}  // namespace
}  // namespace nimbora
