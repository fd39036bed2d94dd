// The writer and reader with single file-system operations failing.
#include <gtest/gtest.h>

#include <string>

#include "platform/fault_file_system.h"
#include "profile/profile_reader.h"
#include "profile/profile_writer.h"
#include "profile_files.h"

namespace nimbora {
namespace {

const std::string kBefore = "[Main]\r\nVersion=1.2.3\r\nTitle=x\r\n[Option]\r\nLangue=en\r\n";
const std::string kAfter = "[Main]\r\nVersion=1.3\r\nTitle=x\r\n[Option]\r\nLangue=en\r\n";

class ProfileFaultTest : public ProfileFileTest {
 protected:
  void SetUp() override {
    ProfileFileTest::SetUp();
    UseFaultWrapper();
  }

  int SetVersion() { return WriteProfileString(u"Main", u"Version", u"1.3", kFile); }

  // How often a clean shortening call uses the operation on the file.
  int CleanCalls(FileOperation operation, bool utf16 = false) {
    Store(utf16 ? Utf16File(kBefore) : kBefore);
    int before = Calls(operation);
    EXPECT_EQ(SetVersion(), 1);
    EXPECT_EQ(Stored(), utf16 ? Utf16File(kAfter) : kAfter);
    return Calls(operation) - before;
  }
  int Calls(FileOperation operation) const {
    return operation == kAnyOperation ? faults.failableCalls : faults.calls[operation];
  }

  std::u16string Lookup(const char16_t* section, const char16_t* key) {
    char16_t output[20];
    ReadProfileString(section, key, u"-", output, 20, kFile);
    return output;
  }
};

TEST_F(ProfileFaultTest, FailedWriteGivesZero) {
  int writes = CleanCalls(kOperationWrite);
  ASSERT_GT(writes, 0);
  for (int n = 1; n <= writes; ++n) {
    SCOPED_TRACE(n);
    Store(kBefore);
    FailCall(&faults, kOperationWrite, n, kErrorWriteFault, false);
    EXPECT_EQ(SetVersion(), 0);
  }
}

TEST_F(ProfileFaultTest, FailedFlushGivesZero) {
  Store(kBefore);
  FailCall(&faults, kOperationClose, 1, kErrorWriteFault, false);
  EXPECT_EQ(SetVersion(), 0);
}

TEST_F(ProfileFaultTest, TailThatCannotBeReadLeavesFileUnchanged) {
  // The tail is the last thing read before writing starts.
  int reads = CleanCalls(kOperationRead);
  Store(kBefore);
  FailCall(&faults, kOperationRead, reads, kErrorWriteFault, false);
  int writes = Calls(kOperationWrite);
  EXPECT_EQ(SetVersion(), 0);
  EXPECT_EQ(Calls(kOperationWrite), writes);
  ClearFaults(&faults);
  EXPECT_EQ(Stored(), kBefore);
}

TEST_F(ProfileFaultTest, FileThatFailsToOpenIsNotEmptied) {
  Store(kBefore);
  FailCall(&faults, kOperationOpen, 1, kErrorAccessDenied, false);
  EXPECT_EQ(SetVersion(), 0);
  EXPECT_EQ(Stored(), kBefore);
}

TEST_F(ProfileFaultTest, CutThatCannotBeMadeIsAFailure) {
  for (FileOperation operation : {kOperationOpenExisting, kOperationSetFilePointer,
                                  kOperationSetEndOfFile}) {
    SCOPED_TRACE(operation);
    Store(kBefore);
    FailCall(&faults, operation, 1, kErrorAccessDenied, false);
    EXPECT_EQ(SetVersion(), 0);
    std::string stored = Stored();
    EXPECT_EQ(stored.size(), kBefore.size());
    EXPECT_EQ(stored.substr(0, kAfter.size()), kAfter);
    ClearFaults(&faults);
  }
}

// Whichever call fails, once or from then on, a call that reports success
// has left a file in which every value reads as it should.
TEST_F(ProfileFaultTest, AnyFaultIsReportedOrHarmless) {
  for (bool utf16 : {false, true}) {
    int calls = CleanCalls(kAnyOperation, utf16);
    for (int n = 1; n <= 2 * calls; ++n) {
      bool persistent = n > calls;
      int failAt = persistent ? n - calls : n;
      SCOPED_TRACE(std::to_string(failAt) + (persistent ? " on" : " once") + (utf16 ? " UTF-16" : " text"));
      Store(utf16 ? Utf16File(kBefore) : kBefore);
      FailCall(&faults, kAnyOperation, failAt, kErrorWriteFault, persistent);
      int result = SetVersion();
      ClearFaults(&faults);
      if (result == 0) continue;
      EXPECT_EQ(Lookup(u"Main", u"Version"), u"1.3");
      EXPECT_EQ(Lookup(u"Main", u"Title"), u"x");
      EXPECT_EQ(Lookup(u"Option", u"Langue"), u"en");
    }
  }
}

TEST_F(ProfileFaultTest, LookupWithAFaultDeliversValueOrDefault) {
  Store(kBefore);
  int before = faults.failableCalls;
  EXPECT_EQ(Lookup(u"Option", u"Langue"), u"en");
  int calls = faults.failableCalls - before;
  for (int n = 1; n <= calls; ++n) {
    SCOPED_TRACE(n);
    FailCall(&faults, kAnyOperation, n, kErrorWriteFault, false);
    std::u16string delivered = Lookup(u"Option", u"Langue");
    EXPECT_TRUE(delivered == u"en" || delivered == u"-") << std::string(delivered.begin(), delivered.end());
    ClearFaults(&faults);
  }
}

}  // namespace
}  // namespace nimbora
