#include "overlay/overlay_file_system.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/text_stream.h"
#include "support/device_fixture.h"

namespace nimbora {
namespace {

class OverlayFileSystemTest : public DeviceFixture {
 protected:
  void SetUp() override {
    DeviceFixture::SetUp();
    WriteHostFile("App/main.ini", "[Main]\r\nVersion=1.0.0\r\n");
    WriteHostFile("App/Data/old.bin", "old");
    WriteHostFile("Elsewhere/Package/new.bin", "new bytes");
    InitOverlayFileSystem(&overlay, &host);
    UseFileSystem(&overlay.fileSystem);
  }
  void TearDown() override {
    FreeOverlayFileSystem(&overlay);
    DeviceFixture::TearDown();
  }

  static std::string Read(const char16_t* path) {
    Stream* stream = OpenStream(path, u"r");
    if (stream == nullptr) return "(missing)";
    char buffer[64];
    std::string bytes(buffer, ReadBytes(stream, buffer, sizeof buffer));
    CloseStream(stream);
    return bytes;
  }

  OverlayFileSystem overlay;
};

// Changes show through the seam, are recorded in order, and never reach the disk.
TEST_F(OverlayFileSystemTest, KeepsChangesInMemoryAndRecordsThem) {
  ASSERT_TRUE(MountLower(&overlay, u"\\Storage Card\\Update Nimbora\\", &host, u"\\Elsewhere\\Package\\"));
  std::string before = DescribeHostTree();

  EXPECT_TRUE(CopyFileOver(u"\\storage card\\update nimbora\\NEW.BIN", u"\\App\\Data\\old.bin"));
  EXPECT_TRUE(CreateDirectoryAt(u"\\App\\Fresh"));
  EXPECT_TRUE(MoveFileNoReplace(u"\\APP\\data\\OLD.bin", u"\\App\\Fresh\\moved.bin"));
  EXPECT_TRUE(RemoveEmptyDirectory(u"\\App\\Data"));
  Stream* stream = OpenStream(u"\\App\\main.ini", u"r+");
  ASSERT_NE(stream, nullptr);
  EXPECT_TRUE(SeekStream(stream, 0, kSeekEnd));
  EXPECT_EQ(WriteBytes(stream, "X", 1), 1u);
  EXPECT_TRUE(CloseStream(stream));
  EXPECT_TRUE(SetAttributesAt(u"\\App\\Fresh\\moved.bin", kAttributeReadOnly));
  EXPECT_FALSE(DeleteFileAt(u"\\App\\Fresh\\moved.bin"));

  EXPECT_EQ(Read(u"\\App\\Fresh\\moved.bin"), "new bytes");
  EXPECT_EQ(Read(u"\\App\\Data\\old.bin"), "(missing)");
  EXPECT_EQ(Read(u"\\App\\main.ini"), "[Main]\r\nVersion=1.0.0\r\nX");
  EXPECT_EQ(DescribeHostTree(), before);

  std::vector<std::pair<OverlayChangeKind, uint32_t>> kinds;
  for (const OverlayChange& change : overlay.changes) kinds.push_back({change.kind, change.error});
  std::vector<std::pair<OverlayChangeKind, uint32_t>> expected = {
      {OverlayChangeKind::CopyFile, 0},        {OverlayChangeKind::CreateDirectory, 0},
      {OverlayChangeKind::MoveFile, 0},        {OverlayChangeKind::RemoveDirectory, 0},
      {OverlayChangeKind::WriteFile, 0},       {OverlayChangeKind::SetAttributes, 0},
      {OverlayChangeKind::DeleteFile, kErrorAccessDenied}};
  EXPECT_EQ(kinds, expected);
  EXPECT_TRUE(overlay.changes[0].replaced);
  EXPECT_EQ(overlay.changes[0].bytes, 9);
  EXPECT_EQ(overlay.changes[0].target, u"\\App\\Data\\old.bin");
}

// A copy shares the source's bytes or host file until one of them is
// written, and shows through a stream open on the target.
TEST_F(OverlayFileSystemTest, ACopyIsItsOwnFileOnceWritten) {
  struct Case {
    bool sourceRead;   // the source's bytes are in memory before the copy
    bool targetOpen;   // a stream is open on the target during the copy
    const char16_t* written;
    std::string source;
    std::string target;
  };
  const char16_t* source = u"\\App\\Data\\old.bin";
  const char16_t* target = u"\\App\\main.ini";
  const Case cases[] = {
      {false, false, target, "old", "Xld"}, {true, false, target, "old", "Xld"},
      {true, false, source, "Xld", "old"},  {false, true, target, "old", "Xld"},
      {false, false, source, "Xld", "old"},
  };
  for (const Case& c : cases) {
    FreeOverlayFileSystem(&overlay);
    InitOverlayFileSystem(&overlay, &host);
    if (c.sourceRead) {
      EXPECT_EQ(Read(source), "old");
    }
    Stream* open = c.targetOpen ? OpenStream(target, u"r") : nullptr;
    EXPECT_TRUE(CopyFileOver(source, target));
    if (open != nullptr) {
      char buffer[8];
      EXPECT_EQ(std::string(buffer, ReadBytes(open, buffer, sizeof buffer)), "old");
      CloseStream(open);
    }
    Stream* stream = OpenStream(c.written, u"r+");
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(WriteBytes(stream, "X", 1), 1u);
    CloseStream(stream);
    EXPECT_EQ(Read(source), c.source);
    EXPECT_EQ(Read(target), c.target);
  }
  // A listed host file that can no longer be opened is refused.
  DirectoryEntry entry;
  CloseSearch(FindFirstEntry(u"\\Elsewhere\\Package\\*.*", &entry));
  ASSERT_EQ(std::remove(HostPath("Elsewhere/Package/new.bin").c_str()), 0);
  EXPECT_FALSE(CopyFileOver(u"\\Elsewhere\\Package\\new.bin", u"\\App\\new.bin"));
  EXPECT_EQ(overlay.changes.back().error, kErrorAccessDenied);
  EXPECT_EQ(Read(u"\\App\\new.bin"), "(missing)");
}

// The names of a directory and the bytes of its files, through the seam.
std::string Listing(const std::u16string& directory) {
  std::string listing;
  DirectoryEntry entry;
  Search* search = FindFirstEntry((directory + u"*.*").c_str(), &entry);
  for (bool more = search != nullptr; more; more = FindNextEntry(search, &entry)) {
    std::u16string name(entry.name);
    listing += std::string(name.begin(), name.end()) + "=";
    Stream* stream = OpenStream((directory + name).c_str(), u"r");
    if (stream != nullptr) {
      char buffer[64];
      listing.append(buffer, ReadBytes(stream, buffer, sizeof buffer));
      CloseStream(stream);
    }
    listing += ";";
  }
  if (search != nullptr) CloseSearch(search);
  return listing;
}

TEST_F(OverlayFileSystemTest, AFailingChangeLeavesTheTreeAsItWas) {
  ASSERT_TRUE(MountLower(&overlay, u"\\Card\\", &host, u"\\Elsewhere\\Package\\"));
  std::string before = Listing(u"\\App\\") + Listing(u"\\App\\Data\\");
  EXPECT_FALSE(CreateDirectoryAt(u"\\App\\main.ini"));
  EXPECT_FALSE(RemoveEmptyDirectory(u"\\App\\Data"));
  EXPECT_FALSE(CopyFileOver(u"\\Card\\new.bin", u"\\App\\Data"));
  EXPECT_FALSE(MoveFileNoReplace(u"\\App\\Data\\old.bin", u"\\App\\main.ini"));
  EXPECT_FALSE(DeleteFileAt(u"\\App\\Data"));
  EXPECT_EQ(Listing(u"\\App\\") + Listing(u"\\App\\Data\\"), before);
  EXPECT_EQ(overlay.changes.size(), 5u);
}

// A mount replaces what stood at its path and brings the directories above it.
TEST_F(OverlayFileSystemTest, MountsAHostTreeAtADevicePath) {
  ASSERT_TRUE(MountLower(&overlay, u"\\App\\Data\\", &host, u"\\Elsewhere\\Package"));
  EXPECT_EQ(Read(u"\\App\\Data\\new.bin"), "new bytes");
  EXPECT_EQ(Read(u"\\App\\Data\\old.bin"), "(missing)");
  EXPECT_EQ(Read(u"\\App\\main.ini").substr(0, 6), "[Main]");
  EXPECT_FALSE(MountLower(&overlay, u"\\App\\NoSeparator", &host, u"\\"));

  OverlayFileSystem memory;
  InitOverlayFileSystem(&memory, nullptr);
  ASSERT_TRUE(MountLower(&memory, u"\\A\\B\\", &host, u"\\App\\"));
  UseFileSystem(&memory.fileSystem);
  DirectoryEntry entry;
  Search* search = FindFirstEntry(u"\\A\\*.*", &entry);
  ASSERT_NE(search, nullptr);
  std::vector<std::u16string> names;
  do names.push_back(entry.name);
  while (FindNextEntry(search, &entry));
  CloseSearch(search);
  EXPECT_EQ(names, (std::vector<std::u16string>{u".", u"..", u"B"}));
  EXPECT_EQ(Read(u"\\A\\B\\Data\\old.bin"), "old");
  FreeOverlayFileSystem(&memory);
}

}  // namespace
}  // namespace nimbora
