#include "testing/fault_file_system.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/text_stream.h"
#include "base/wide_string.h"
#include "support/device_fixture.h"

namespace nimbora {
namespace {

class FaultFileSystemTest : public DeviceFixture {
 protected:
  void SetUp() override {
    DeviceFixture::SetUp();
    WriteHostFile("Package/Update.exe", "exe");
    WriteHostFile("Package/data.bin", "data");
    MakeHostDirectory("App");
    UseFaultWrapper();
  }
};

TEST_F(FaultFileSystemTest, FailsTheNthCallOfAnOperationOnce) {
  FailCall(&faults, kOperationCopyFile, 2, kErrorPathNotFound, false);
  EXPECT_TRUE(CopyFileOver(u"\\Package\\data.bin", u"\\App\\one"));
  EXPECT_FALSE(CopyFileOver(u"\\Package\\data.bin", u"\\App\\two"));
  EXPECT_EQ(LastErrorCode(), kErrorPathNotFound);
  EXPECT_TRUE(CopyFileOver(u"\\Package\\data.bin", u"\\App\\three"));
  EXPECT_FALSE(HostExists("App/two"));
  EXPECT_TRUE(HostExists("App/three"));
  EXPECT_EQ(faults.calls[kOperationCopyFile], 3);
  EXPECT_EQ(faults.faultsInjected, 1);
}

TEST_F(FaultFileSystemTest, PersistentFaultsLastUntilCleared) {
  EXPECT_TRUE(CreateDirectoryAt(u"\\App\\Before"));
  FailCall(&faults, kOperationCreateDirectory, 1, kErrorAccessDenied, true);
  EXPECT_FALSE(CreateDirectoryAt(u"\\App\\A"));
  EXPECT_FALSE(CreateDirectoryAt(u"\\App\\B"));
  EXPECT_EQ(LastErrorCode(), kErrorAccessDenied);
  EXPECT_TRUE(DeleteFileAt(u"\\Package\\data.bin"));  // other operations pass
  ClearFaults(&faults);
  EXPECT_TRUE(CreateDirectoryAt(u"\\App\\C"));
  EXPECT_EQ(faults.faultsInjected, 2);
  EXPECT_EQ(faults.calls[kOperationCreateDirectory], 4);
  EXPECT_FALSE(HostExists("App/A") || HostExists("App/B"));
}

TEST_F(FaultFileSystemTest, AnyOperationCountsEveryCallThatCanFail) {
  DirectoryEntry entry;
  Search* search = FindFirstEntry(u"\\Package\\*.*", &entry);
  ASSERT_NE(search, nullptr);
  CloseSearch(search);  // cannot fail, so not counted towards the rule
  EXPECT_EQ(faults.failableCalls, 1);
  FailCall(&faults, kAnyOperation, 2, kErrorWriteFault, false);
  EXPECT_TRUE(CreateDirectoryAt(u"\\App\\First"));
  EXPECT_FALSE(SetAttributesAt(u"\\Package\\data.bin", kAttributeReadOnly));
  EXPECT_EQ(LastErrorCode(), kErrorWriteFault);
  EXPECT_FALSE(HostIsReadOnly("Package/data.bin"));
  EXPECT_EQ(faults.calls[kOperationFindClose], 1);
  EXPECT_EQ(faults.failableCalls, 3);
}

TEST_F(FaultFileSystemTest, ErrorsOfTheParentShowThrough) {
  FailCall(&faults, kOperationDeleteFile, 1, kErrorAccessDenied, false);
  EXPECT_FALSE(DeleteFileAt(u"\\Package\\data.bin"));
  EXPECT_EQ(LastErrorCode(), kErrorAccessDenied);
  EXPECT_FALSE(DeleteFileAt(u"\\Package\\none.bin"));
  EXPECT_EQ(LastErrorCode(), kErrorFileNotFound);
}

// A failed write leaves the text unwritten; a failed close still releases
// the stream (the sanitizer build would report the leak).
TEST_F(FaultFileSystemTest, StreamFaultsReachTheTextLayer) {
  Stream* stream = OpenStream(u"\\App\\main.ini", u"w+");
  ASSERT_NE(stream, nullptr);
  FailCall(&faults, kOperationWrite, 1, kErrorWriteFault, false);
  EXPECT_EQ(PrintText(stream, u"%s=%s\n", u"Version", u"1.2.3"), 0);
  FailCall(&faults, kOperationClose, 1, kErrorWriteFault, false);
  EXPECT_EQ(CloseStream(stream), 0);
  EXPECT_EQ(ReadHostFile("App/main.ini"), "");

  WriteHostFile("App/main.ini", "[Main]\r\nVersion=1\r\n");
  stream = OpenStream(u"\\App\\main.ini", u"r");
  ASSERT_NE(stream, nullptr);
  FailCall(&faults, kOperationSeek, 1, kErrorWriteFault, false);
  char16_t line[32];
  EXPECT_EQ(ReadTextLine(stream, line, 32), 0);  // the read-ahead could not be given back
  EXPECT_EQ(CloseStream(stream), 1);
}

struct HookRecord {
  int copiesSeen;
  std::u16string lastTarget;
};

uint32_t FailUpdateExe(void* context, FileOperation operation, const char16_t* path,
                       const char16_t* target) {
  if (operation != kOperationCopyFile) return 0;
  HookRecord* record = static_cast<HookRecord*>(context);
  ++record->copiesSeen;
  record->lastTarget = target;
  int length = WideLength(path);
  bool isUpdater = length >= 10 && WideCompareNoCase(path + length - 10, u"Update.exe") == 0;
  return isUpdater ? kErrorAccessDenied : 0;
}

TEST_F(FaultFileSystemTest, AHookChoosesCallsByPath) {
  HookRecord record{0, u""};
  SetFaultHook(&faults, FailUpdateExe, &record);
  EXPECT_TRUE(CopyFileOver(u"\\Package\\data.bin", u"\\App\\data.bin"));
  EXPECT_FALSE(CopyFileOver(u"\\Package\\UPDATE.EXE", u"\\App\\Update.exe"));
  EXPECT_EQ(LastErrorCode(), kErrorAccessDenied);
  EXPECT_EQ(record.lastTarget, u"\\App\\Update.exe");
  EXPECT_TRUE(DeleteFileAt(u"\\Package\\Update.exe"));  // only copies are hooked
  EXPECT_EQ(record.copiesSeen, 2);
  EXPECT_FALSE(HostExists("App/Update.exe"));
  EXPECT_TRUE(HostExists("App/data.bin"));
}

}  // namespace
}  // namespace nimbora
