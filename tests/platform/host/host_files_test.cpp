#include <gtest/gtest.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <utility>

#include "platform/file_system.h"
#include "overlay/overlay_file_system.h"
#include "support/device_fixture.h"

namespace nimbora {
namespace {

bool Finds(const char16_t* pattern) {
  DirectoryEntry entry;
  Search* search = FindFirstEntry(pattern, &entry);
  if (search != nullptr) CloseSearch(search);
  return search != nullptr;
}

mode_t ModeOf(const std::string& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0 ? status.st_mode & 07777 : 0;
}

class HostFileOperationsTest : public DeviceFixture {
 protected:
  void SetUp() override {
    DeviceFixture::SetUp();
    WriteHostFile("App/file.txt", "data");
    WriteHostFile("App/ReadOnly.txt", "kept");
    SetHostReadOnly("App/ReadOnly.txt", true);
    MakeHostDirectory("App/Sub");
    WriteHostFile("Outside/keep.txt", "outside");
  }

  std::set<std::pair<std::u16string, uint32_t>> Entries(const char16_t* pattern) {
    std::set<std::pair<std::u16string, uint32_t>> entries;
    DirectoryEntry entry;
    Search* search = FindFirstEntry(pattern, &entry);
    if (search == nullptr) return entries;
    do {
      entries.insert({entry.name, entry.attributes});
    } while (FindNextEntry(search, &entry));
    CloseSearch(search);
    return entries;
  }
};

// The same refusals from the host and from the overlay, over the host tree
// and alone in memory: every failure reports the device's code and changes
// nothing.
enum class Backing { Host, OverlayOverHost, OverlayInMemory };

class DeviceErrorCodesTest : public HostFileOperationsTest,
                             public ::testing::WithParamInterface<Backing> {
 protected:
  void SetUp() override {
    HostFileOperationsTest::SetUp();
    if (GetParam() == Backing::Host) return;
    InitOverlayFileSystem(&overlay, GetParam() == Backing::OverlayOverHost ? &host : nullptr);
    UseFileSystem(&overlay.fileSystem);
    if (GetParam() == Backing::OverlayInMemory) BuildTreeThroughTheSeam();
    overlay.changes.clear();
  }
  void TearDown() override {
    if (GetParam() != Backing::Host) FreeOverlayFileSystem(&overlay);
    HostFileOperationsTest::TearDown();
  }

  static void Write(const char16_t* path, const char* bytes) {
    Stream* stream = OpenStream(path, u"w+");
    ASSERT_NE(stream, nullptr);
    WriteBytes(stream, bytes, strlen(bytes));
    CloseStream(stream);
  }
  static void BuildTreeThroughTheSeam() {
    for (const char16_t* directory : {u"\\App", u"\\App\\Sub", u"\\Outside"}) {
      ASSERT_TRUE(CreateDirectoryAt(directory));
    }
    Write(u"\\App\\file.txt", "data");
    Write(u"\\App\\ReadOnly.txt", "kept");
    Write(u"\\Outside\\keep.txt", "outside");
    ASSERT_TRUE(SetAttributesAt(u"\\App\\ReadOnly.txt", kAttributeReadOnly));
  }

  OverlayFileSystem overlay;
};

TEST_P(DeviceErrorCodesTest, FailuresReportTheDeviceCodesAndChangeNothing) {
  struct Case {
    const char* name;
    std::function<bool()> succeeded;
    uint32_t error;
  } cases[] = {
      {"directory exists", [] { return CreateDirectoryAt(u"\\App\\Sub"); }, kErrorAlreadyExists},
      {"directory exists in other case", [] { return CreateDirectoryAt(u"\\app\\SUB"); }, kErrorAlreadyExists},
      {"file of that name", [] { return CreateDirectoryAt(u"\\APP\\FILE.TXT"); }, kErrorAlreadyExists},
      {"directory without parent", [] { return CreateDirectoryAt(u"\\Missing\\New"); }, kErrorPathNotFound},
      {"copy from missing directory", [] { return CopyFileOver(u"\\Missing\\a", u"\\App\\a"); }, kErrorPathNotFound},
      {"copy of missing file", [] { return CopyFileOver(u"\\App\\none", u"\\App\\a"); }, kErrorFileNotFound},
      {"copy into missing directory", [] { return CopyFileOver(u"\\App\\file.txt", u"\\Missing\\a"); }, kErrorPathNotFound},
      {"copy over read-only", [] { return CopyFileOver(u"\\App\\file.txt", u"\\App\\readonly.txt"); }, kErrorAccessDenied},
      {"copy over directory", [] { return CopyFileOver(u"\\App\\file.txt", u"\\App\\Sub"); }, kErrorAccessDenied},
      {"copy of directory", [] { return CopyFileOver(u"\\App\\Sub", u"\\App\\a"); }, kErrorAccessDenied},
      {"copy onto itself", [] { return CopyFileOver(u"\\App\\file.txt", u"\\APP\\File.txt"); }, kErrorSharingViolation},
      {"delete read-only", [] { return DeleteFileAt(u"\\App\\ReadOnly.txt"); }, kErrorAccessDenied},
      {"delete missing", [] { return DeleteFileAt(u"\\App\\none"); }, kErrorFileNotFound},
      {"delete in missing directory", [] { return DeleteFileAt(u"\\Missing\\none"); }, kErrorPathNotFound},
      {"delete directory", [] { return DeleteFileAt(u"\\App\\Sub"); }, kErrorAccessDenied},
      {"attributes of missing", [] { return SetAttributesAt(u"\\App\\none", kAttributeNormal); }, kErrorFileNotFound},
      {"open missing", [] { return OpenStream(u"\\App\\none", u"r") != nullptr; }, kErrorFileNotFound},
      {"open in missing directory", [] { return OpenStream(u"\\Missing\\a", u"r") != nullptr; }, kErrorPathNotFound},
      {"create in missing directory", [] { return OpenStream(u"\\Missing\\a", u"w+") != nullptr; }, kErrorPathNotFound},
      {"update read-only", [] { return OpenStream(u"\\App\\ReadOnly.txt", u"r+") != nullptr; }, kErrorAccessDenied},
      {"recreate read-only", [] { return OpenStream(u"\\App\\ReadOnly.txt", u"w+") != nullptr; }, kErrorAccessDenied},
      {"open directory", [] { return OpenStream(u"\\App\\Sub", u"r") != nullptr; }, kErrorAccessDenied},
      {"move onto existing", [] { return MoveFileNoReplace(u"\\App\\file.txt", u"\\App\\readonly.txt"); }, kErrorAlreadyExists},
      {"move onto other case", [] { return MoveFileNoReplace(u"\\App\\ReadOnly.txt", u"\\APP\\FILE.TXT"); }, kErrorAlreadyExists},
      {"move of missing", [] { return MoveFileNoReplace(u"\\App\\none", u"\\App\\new"); }, kErrorFileNotFound},
      {"move of directory", [] { return MoveFileNoReplace(u"\\App\\Sub", u"\\App\\new"); }, kErrorAccessDenied},
      {"move into missing directory", [] { return MoveFileNoReplace(u"\\App\\file.txt", u"\\Missing\\a"); }, kErrorPathNotFound},
      {"flush missing volume path", [] { return FlushVolume(u"\\Missing"); }, kErrorFileNotFound},
      {"remove missing directory", [] { return RemoveEmptyDirectory(u"\\App\\none"); }, kErrorFileNotFound},
      {"remove a file as directory", [] { return RemoveEmptyDirectory(u"\\App\\file.txt"); }, kErrorPathNotFound},
      {"search empty directory", [] { return Finds(u"\\App\\Sub\\*.*"); }, kErrorFileNotFound},
      {"search without match", [] { return Finds(u"\\App\\*.none"); }, kErrorFileNotFound},
      {"search in a file", [] { return Finds(u"\\App\\file.txt\\*.*"); }, kErrorDirectory},
      {"search below a file", [] { return Finds(u"\\App\\file.txt\\x\\*.*"); }, kErrorPathNotFound},
      {"search in missing directory", [] { return Finds(u"\\Missing\\*.*"); }, kErrorPathNotFound},
  };
  std::string before = DescribeHostTree();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_FALSE(c.succeeded());
    EXPECT_EQ(LastErrorCode(), c.error);
  }
  EXPECT_FALSE(RemoveEmptyDirectory(u"\\App"));
  EXPECT_EQ(LastErrorCode(), kErrorDirectoryNotEmpty);
  EXPECT_EQ(DescribeHostTree(), before);
  if (GetParam() == Backing::Host) return;
  for (const OverlayChange& change : overlay.changes) EXPECT_NE(change.error, 0u);
  DirectoryEntry entry;
  Search* search = FindFirstEntry(u"\\APP\\*.txt", &entry);
  ASSERT_NE(search, nullptr);
  int files = 1;
  while (FindNextEntry(search, &entry)) ++files;
  EXPECT_EQ(LastErrorCode(), kErrorNoMoreFiles);
  CloseSearch(search);
  EXPECT_EQ(files, 2);
}

INSTANTIATE_TEST_SUITE_P(Backings, DeviceErrorCodesTest,
                         ::testing::Values(Backing::Host, Backing::OverlayOverHost,
                                           Backing::OverlayInMemory));

TEST_F(HostFileOperationsTest, CopyOverwritesInPlaceAndCarriesTheReadOnlyFlag) {
  WriteHostFile("App/long.txt", "a much longer text");
  ASSERT_TRUE(CopyFileOver(u"\\app\\FILE.txt", u"\\APP\\LONG.TXT"));
  EXPECT_EQ(ReadHostFile("App/long.txt"), "data");

  ASSERT_TRUE(CopyFileOver(u"\\App\\ReadOnly.txt", u"\\App\\Sub\\New Copy.TXT"));
  EXPECT_EQ(ReadHostFile("App/Sub/New Copy.TXT"), "kept");
  EXPECT_TRUE(HostIsReadOnly("App/Sub/New Copy.TXT"));
  EXPECT_FALSE(HostIsReadOnly("App/long.txt"));

  std::string big(3 << 20, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7919 % 251);
  WriteHostFile("App/big.bin", big);
  ASSERT_TRUE(CopyFileOver(u"\\App\\big.bin", u"\\App\\Sub\\big.bin"));
  EXPECT_TRUE(ReadHostFile("App/Sub/big.bin") == big);
}

// New and overwritten targets alike end with the source's permission bits,
// whatever the umask would have taken away.
TEST_F(HostFileOperationsTest, CopiesCarryTheSourceMode) {
  for (mode_t mode : {0750, 0666, 0600, 0444}) {
    SCOPED_TRACE(mode);
    ASSERT_EQ(chmod(HostPath("App/file.txt").c_str(), mode), 0);
    ASSERT_TRUE(CopyFileOver(u"\\App\\file.txt", u"\\App\\Sub\\new.txt"));
    ASSERT_TRUE(CopyFileOver(u"\\App\\file.txt", u"\\App\\Sub\\kept.txt"));
    EXPECT_EQ(ModeOf(HostPath("App/Sub/new.txt")), mode);
    EXPECT_EQ(ModeOf(HostPath("App/Sub/kept.txt")), mode);
    ASSERT_TRUE(SetAttributesAt(u"\\App\\Sub\\new.txt", kAttributeNormal));
    ASSERT_TRUE(DeleteFileAt(u"\\App\\Sub\\new.txt"));
  }
}

// Change times come from the kernel's coarse clock: a change by another
// process in a later tick is always told apart from the file system's own.
void WaitForNextClockTick() {
  timespec tick;
  ASSERT_EQ(clock_getres(CLOCK_REALTIME_COARSE, &tick), 0);
  tick.tv_nsec += 1000000;
  nanosleep(&tick, nullptr);
}

// The file system remembers the directories it has listed; changes made
// afterwards, through it or behind its back, still count when a name is
// matched.
TEST_F(HostFileOperationsTest, MatchesNamesAfterChangesByAnyone) {
  ASSERT_TRUE(CopyFileOver(u"\\App\\file.txt", u"\\App\\Sub\\first.txt"));
  WaitForNextClockTick();
  WriteHostFile("App/Sub/MAIN.INI", "old");
  ASSERT_TRUE(CopyFileOver(u"\\App\\file.txt", u"\\App\\Sub\\main.ini"));
  ASSERT_TRUE(DeleteFileAt(u"\\App\\Sub\\Main.ini"));
  ASSERT_TRUE(CopyFileOver(u"\\App\\file.txt", u"\\App\\Sub\\main.INI"));
  ASSERT_TRUE(MoveFileNoReplace(u"\\App\\Sub\\MAIN.ini", u"\\App\\Sub\\moved.txt"));
  ASSERT_TRUE(CopyFileOver(u"\\App\\ReadOnly.txt", u"\\App\\Sub\\Main.Ini"));
  EXPECT_EQ(DescribeHostTree("App/Sub"),
            "Main.Ini (read-only) = kept\nfirst.txt = data\nmoved.txt = data\n");

  // The same paths, now leading to other directories.
  for (const char* moved : {"App/Sub", "App"}) {
    SCOPED_TRACE(moved);
    WaitForNextClockTick();
    ASSERT_EQ(rename(HostPath(moved).c_str(), HostPath("Gone").c_str()), 0);
    WriteHostFile("App/file.txt", "data");
    WriteHostFile("App/Sub/\xCE\xA9mega.txt", "old");
    ASSERT_TRUE(CopyFileOver(u"\\App\\file.txt", u"\\App\\Sub\\\u03C9MEGA.TXT"));
    EXPECT_EQ(DescribeHostTree("App/Sub"), "\xCE\xA9mega.txt = data\n");
    std::filesystem::remove_all(HostPath("Gone"));
  }
}

// Paths spelled exactly as on disk take a quicker way through the copy; it
// must end where the name-matching walk would.
TEST_F(HostFileOperationsTest, ExactlySpelledCopiesMatchNamesAndRefuseAsTheWalkDoes) {
  WriteHostFile("App/Sub/MAIN.INI", "old");
  ASSERT_TRUE(CopyFileOver(u"\\App\\file.txt", u"\\App\\Sub\\main.ini"));
  EXPECT_EQ(ReadHostFile("App/Sub/MAIN.INI"), "data");
  EXPECT_FALSE(HostExists("App/Sub/main.ini"));

  ASSERT_TRUE(CopyFileOver(u"\\App\\file.txt", u"\\App\\Sub\\new.txt"));
  EXPECT_EQ(ReadHostFile("App/Sub/new.txt"), "data");
  ASSERT_TRUE(CopyFileOver(u"\\App\\ReadOnly.txt", u"\\App\\Sub\\new.txt"));
  EXPECT_EQ(ReadHostFile("App/Sub/new.txt"), "kept");
  EXPECT_TRUE(HostIsReadOnly("App/Sub/new.txt"));

  struct Case {
    const char16_t* from;
    const char16_t* to;
    uint32_t error;
  } cases[] = {
      {u"\\App\\file.txt", u"\\App\\ReadOnly.txt", kErrorAccessDenied},
      {u"\\App\\file.txt", u"\\App\\file.txt", kErrorSharingViolation},
      {u"\\App\\file.txt", u"\\App\\Sub", kErrorAccessDenied},
      {u"\\App\\file.txt", u"\\App", kErrorAccessDenied},
      {u"\\App\\file.txt", u"\\", kErrorAccessDenied},
      {u"\\App\\missing.txt", u"\\App\\a", kErrorFileNotFound},
      {u"\\App\\file.txt", u"\\App\\Missing\\a", kErrorPathNotFound},
  };
  std::string before = DescribeHostTree();
  for (const Case& c : cases) {
    EXPECT_FALSE(CopyFileOver(c.from, c.to));
    EXPECT_EQ(LastErrorCode(), c.error);
  }
  EXPECT_EQ(DescribeHostTree(), before);
}

TEST_F(HostFileOperationsTest, AttributesGovernDeletion) {
  ASSERT_TRUE(SetAttributesAt(u"\\App\\file.txt", kAttributeReadOnly));
  EXPECT_TRUE(HostIsReadOnly("App/file.txt"));
  EXPECT_FALSE(DeleteFileAt(u"\\App\\file.txt"));
  ASSERT_TRUE(SetAttributesAt(u"\\APP\\FILE.TXT", kAttributeNormal));
  EXPECT_TRUE(DeleteFileAt(u"\\App\\file.txt"));
  EXPECT_FALSE(HostExists("App/file.txt"));

  ASSERT_TRUE(SetAttributesAt(u"\\App\\ReadOnly.txt", kAttributeNormal));
  EXPECT_TRUE(DeleteFileAt(u"\\App\\ReadOnly.txt"));
  EXPECT_TRUE(RemoveEmptyDirectory(u"\\app\\sub"));
  EXPECT_FALSE(HostExists("App/Sub"));
}

TEST_F(HostFileOperationsTest, CreatesDirectoriesAsSpelled) {
  ASSERT_TRUE(CreateDirectoryAt(u"\\APP\\New Dir"));
  ASSERT_TRUE(CreateDirectoryAt(u"\\App\\new dir\\Inner"));
  EXPECT_TRUE(HostIsDirectory("App/New Dir/Inner"));
}

TEST_F(HostFileOperationsTest, StreamsSeekAndReportPositions) {
  Stream* stream = OpenStream(u"\\App\\file.txt", u"r+");
  ASSERT_NE(stream, nullptr);
  EXPECT_TRUE(SeekStream(stream, 0, kSeekEnd));
  EXPECT_EQ(StreamPosition(stream), 4);
  EXPECT_EQ(WriteBytes(stream, "++", 2), 2u);
  EXPECT_TRUE(SeekStream(stream, -3, kSeekCurrent));
  char bytes[4] = {};
  EXPECT_EQ(ReadBytes(stream, bytes, 3), 3u);
  EXPECT_EQ(std::string(bytes), "a++");
  EXPECT_FALSE(SeekStream(stream, -1, kSeekSet));
  EXPECT_EQ(StreamPosition(stream), 6);
  EXPECT_TRUE(CloseStream(stream));
  EXPECT_EQ(ReadHostFile("App/file.txt"), "data++");

  stream = OpenStream(u"\\App\\file.txt", u"w+");
  ASSERT_NE(stream, nullptr);
  EXPECT_TRUE(CloseStream(stream));
  EXPECT_EQ(ReadHostFile("App/file.txt"), "");
}

TEST_F(HostFileOperationsTest, EnumerationYieldsDotEntriesNamesAndAttributes) {
  std::set<std::pair<std::u16string, uint32_t>> expected = {
      {u".", kAttributeDirectory},         {u"..", kAttributeDirectory},
      {u"file.txt", kAttributeNormal},      {u"ReadOnly.txt", kAttributeReadOnly},
      {u"Sub", kAttributeDirectory},
  };
  EXPECT_EQ(Entries(u"\\app\\*.*"), expected);

  DirectoryEntry entry;
  Search* search = FindFirstEntry(u"/App/*.*", &entry);
  ASSERT_NE(search, nullptr);
  EXPECT_EQ(std::u16string(entry.name), u".");
  ASSERT_TRUE(FindNextEntry(search, &entry));
  EXPECT_EQ(std::u16string(entry.name), u"..");
  CloseSearch(search);

  std::set<std::pair<std::u16string, uint32_t>> texts = {{u"file.txt", kAttributeNormal},
                                                         {u"ReadOnly.txt", kAttributeReadOnly}};
  EXPECT_EQ(Entries(u"\\App\\*.TXT"), texts);
}

TEST_F(HostFileOperationsTest, EnumerationYieldsNothingWithoutEntries) {
  const char16_t* patterns[] = {u"\\App\\Sub\\*.*", u"\\Missing\\*.*", u"\\App\\file.txt\\*.*",
                                u"\\App\\*.none"};
  for (const char16_t* pattern : patterns) {
    DirectoryEntry entry;
    EXPECT_EQ(FindFirstEntry(pattern, &entry), nullptr);
  }
}

TEST_F(HostFileOperationsTest, SymbolicLinksAreFilesAndNeverFollowed) {
  ASSERT_EQ(symlink("../Outside", HostPath("App/dirlink").c_str()), 0);
  ASSERT_EQ(symlink("../Outside/keep.txt", HostPath("App/filelink").c_str()), 0);
  ASSERT_EQ(symlink("../nowhere", HostPath("App/dangling").c_str()), 0);
  std::string outside = DescribeHostTree("Outside");

  std::set<std::pair<std::u16string, uint32_t>> entries = Entries(u"\\App\\*.*");
  EXPECT_EQ(entries.count({u"dirlink", kAttributeNormal}), 1u);
  EXPECT_EQ(entries.count({u"filelink", kAttributeNormal}), 1u);
  DirectoryEntry entry;
  EXPECT_EQ(FindFirstEntry(u"\\App\\dirlink\\*.*", &entry), nullptr);

  EXPECT_EQ(OpenStream(u"\\App\\filelink", u"r"), nullptr);
  EXPECT_FALSE(CopyFileOver(u"\\App\\file.txt", u"\\App\\filelink"));
  EXPECT_FALSE(CopyFileOver(u"\\App\\dirlink\\keep.txt", u"\\App\\copy.txt"));
  EXPECT_FALSE(CopyFileOver(u"\\App\\file.txt", u"\\App\\dirlink\\new.txt"));
  EXPECT_FALSE(CopyFileOver(u"\\App\\file.txt", u"\\App\\dangling"));
  EXPECT_TRUE(SetAttributesAt(u"\\App\\filelink", kAttributeReadOnly));
  EXPECT_TRUE(CreateDirectoryAt(u"\\App\\dirlink") == 0 && LastErrorCode() == kErrorAlreadyExists);

  for (const char16_t* link : {u"\\App\\dirlink", u"\\App\\FILELINK", u"\\App\\dangling"}) {
    EXPECT_TRUE(DeleteFileAt(link));
  }
  EXPECT_FALSE(HostExists("App/dirlink") || HostExists("App/filelink") || HostExists("App/dangling"));
  EXPECT_EQ(DescribeHostTree("Outside"), outside);
}

// A move and the flushes leave the data where the replace protocol expects it.
TEST_F(HostFileOperationsTest, MovesAndFlushesKeepTheData) {
  Stream* stream = OpenStream(u"\\App\\new.tmp", u"w+");
  ASSERT_NE(stream, nullptr);
  ASSERT_EQ(WriteBytes(stream, "fresh", 5), 5u);
  EXPECT_TRUE(FlushStream(stream));
  EXPECT_TRUE(CloseStream(stream));
  EXPECT_TRUE(MoveFileNoReplace(u"\\app\\NEW.TMP", u"\\App\\moved.txt"));
  EXPECT_TRUE(FlushVolume(u"\\App"));
  EXPECT_EQ(ReadHostFile("App/moved.txt"), "fresh");
  EXPECT_FALSE(DeleteFileAt(u"\\App\\new.tmp"));
}

}  // namespace
}  // namespace nimbora
