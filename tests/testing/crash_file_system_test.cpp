#include "testing/crash_file_system.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "support/device_fixture.h"

namespace nimbora {
namespace {

class CrashFileSystemTest : public DeviceFixture {
 protected:
  void SetUp() override {
    DeviceFixture::SetUp();
    WriteHostFile("Flash/old.txt", "old");
    WriteHostFile("Flash/log.txt", "XYZW");
    WriteHostFile("Card/c.txt", "card");
  }

  // Cuts the power after change k of Script, then settles.
  void CutAndSettle(void (*script)(), int k, int keptChanges, size_t tornAt) {
    InitCrashFileSystem(&crash, state.get(), &host);
    CutPowerAfter(state.get(), k);
    UseFileSystem(&crash);
    script();
    UseFileSystem(&host);
    ASSERT_EQ(SettleAfterCut(state.get(), keptChanges, tornAt), 1);
  }

  std::string Content(const std::string& relative) const {
    return HostExists(relative) ? ReadHostFile(relative) : "(none)";
  }

  std::unique_ptr<CrashFileSystemState> state = std::make_unique<CrashFileSystemState>();
  FileSystem crash;
};

void WriteFile(const char16_t* path, const char* text, bool flush) {
  Stream* stream = OpenStream(path, u"w+");
  if (stream == nullptr) return;
  WriteBytes(stream, text, std::char_traits<char>::length(text));
  if (flush) FlushStream(stream);
  CloseStream(stream);
}

// Changes, in order: 1 create a, 2 write, 3 flush; 4 empty a, 5 write;
// 6 copy a to b; 7 move b to c; 8 delete old.
void Script() {
  WriteFile(u"\\Flash\\a.txt", "one", true);
  WriteFile(u"\\Flash\\a.txt", "two", false);
  CopyFileOver(u"\\Flash\\a.txt", u"\\Flash\\b.txt");
  MoveFileNoReplace(u"\\Flash\\b.txt", u"\\Flash\\c.txt");
  DeleteFileAt(u"\\Flash\\old.txt");
}

struct Expected {
  const char* a;
  const char* b;
  const char* c;
  const char* old;
};

TEST_F(CrashFileSystemTest, NamesSurviveInOrderAndUnflushedDataAsTheModelSays) {
  const Expected durableOnly[] = {
      {"", "(none)", "(none)", "old"},       {"", "(none)", "(none)", "old"},
      {"one", "(none)", "(none)", "old"},    {"one", "(none)", "(none)", "old"},
      {"one", "(none)", "(none)", "old"},    {"one", "", "(none)", "old"},
      {"one", "(none)", "", "old"},          {"one", "(none)", "", "(none)"}};
  // Everything written is kept, but the write the power failed in is torn after a byte.
  const Expected tornLast[] = {
      {"", "(none)", "(none)", "old"},       {"o", "(none)", "(none)", "old"},
      {"one", "(none)", "(none)", "old"},    {"", "(none)", "(none)", "old"},
      {"t", "(none)", "(none)", "old"},      {"two", "t", "(none)", "old"},
      {"two", "(none)", "two", "old"},       {"two", "(none)", "two", "(none)"}};
  for (int k = 1; k <= 8; ++k) {
    for (bool durable : {true, false}) {
      SCOPED_TRACE("cut after change " + std::to_string(k) + (durable ? ", durable only" : ""));
      std::filesystem::remove_all(HostPath("Flash"));
      WriteHostFile("Flash/old.txt", "old");
      CutAndSettle(Script, k, durable ? 0 : kAllChanges, durable ? kWholeWrite : 1);
      const Expected& expected = (durable ? durableOnly : tornLast)[k - 1];
      EXPECT_EQ(Content("Flash/a.txt"), expected.a);
      EXPECT_EQ(Content("Flash/b.txt"), expected.b);
      EXPECT_EQ(Content("Flash/c.txt"), expected.c);
      EXPECT_EQ(Content("Flash/old.txt"), expected.old);
      EXPECT_EQ(state->changes, k);
    }
  }
}

// Changes: five writes over log.txt, the first over its old bytes.
void AppendScript() {
  Stream* stream = OpenStream(u"\\Flash\\log.txt", u"r+");
  for (const char* text : {"ab", "cd", "ef", "gh", "ij"}) WriteBytes(stream, text, 2);
  CloseStream(stream);
}

TEST_F(CrashFileSystemTest, AFileKeepsAnyPrefixOfWhatWasWrittenSinceItsLastDurablePoint) {
  const std::string prefixes[] = {"XYZW", "abZW", "abcd", "abcdef", "abcdefgh", "abcdefghij"};
  for (int kept = 0; kept <= 5; ++kept) {
    SCOPED_TRACE("kept " + std::to_string(kept));
    WriteHostFile("Flash/log.txt", "XYZW");
    CutAndSettle(AppendScript, 5, kept, kWholeWrite);
    EXPECT_EQ(ReadHostFile("Flash/log.txt"), prefixes[kept]);
  }
}

// A flush of one volume leaves the data on another as it was.
void TwoVolumesScript() {
  WriteFile(u"\\Flash\\a.txt", "flash", false);
  WriteFile(u"\\Card\\c.txt", "new card", false);
  FlushVolume(u"\\Flash\\");
  CreateDirectoryAt(u"\\Flash\\after");
}

TEST_F(CrashFileSystemTest, AVolumeFlushMakesThatVolumeDurableAndChangesAfterTheCutFail) {
  CutAndSettle(TwoVolumesScript, 5, 0, kWholeWrite);
  EXPECT_EQ(ReadHostFile("Flash/a.txt"), "flash");
  EXPECT_EQ(ReadHostFile("Card/c.txt"), "card");
  EXPECT_FALSE(HostExists("Flash/after"));
  UseFileSystem(&crash);
  EXPECT_FALSE(CreateDirectoryAt(u"\\Flash\\late"));
  EXPECT_EQ(LastErrorCode(), kErrorWriteFault);
}

}  // namespace
}  // namespace nimbora
