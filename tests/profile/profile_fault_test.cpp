// The reader and writer over a file system failing each call in turn, every
// operation, every k, once and from then on. A lookup that meets a failure
// delivers the default; a write that meets one leaves the old content, or
// the complete new content beside the file for the next write or start.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "testing/fault_file_system.h"
#include "profile/profile_lines.h"
#include "profile/profile_reader.h"
#include "profile/profile_writer.h"
#include "profile_files.h"

namespace nimbora {
namespace {

enum class Call { Get, Set, Delete };

struct SweepCase {
  const char* name;
  std::string bytes;  // kMissing: no file
  Call call;
  const char16_t* section;
  const char16_t* key;
  const char16_t* value;
};

const std::string kMissing = "<missing>";
const std::string kMain = "[Main]\r\nVersion=1.2.3\r\nTitle=x\r\n[Option]\r\nLangue=English\r\n";
// A long value starting at the character offset `at`, so that in either
// encoding it crosses the end of the first 4096 bytes a lookup reads.
std::string ValueAcrossBlocks(size_t at) {
  return "[Main]\r\n;" + std::string(at - 11, 'x') + "\r\nLangue=" + std::string(200, 'E') +
         "\r\n";
}
const std::string kLongComment = "[Main]\r\n;" + std::string(255, 'x') + "[Other]\r\nA=1\r\n";

const SweepCase kCases[] = {
    {"text get", kMain, Call::Get, u"Option", u"Langue", nullptr},
    {"UTF-16 get", Utf16File(kMain), Call::Get, u"Option", u"Langue", nullptr},
    {"text value across blocks", ValueAcrossBlocks(4000), Call::Get, u"Main", u"Langue", nullptr},
    {"UTF-16 value across blocks", Utf16File(ValueAcrossBlocks(2000)), Call::Get, u"Main",
     u"Langue", nullptr},
    {"UTF-16 other section's value", Utf16File("[A]\r[B]\rK=x"), Call::Get, u"A", u"K", nullptr},
    {"text shorter value", kMain, Call::Set, u"Main", u"Version", u"1.3"},
    {"UTF-16 new entry", Utf16File(kMain), Call::Set, u"Main", u"Update Time", u"T"},
    {"UTF-16 after a lone CR", Utf16File("[M]\rK=old"), Call::Set, u"M", u"K", u"new"},
    {"UTF-16 odd last byte", Utf16File("[M]") + "Z", Call::Set, u"New", u"K", u"V"},
    {"text long comment", kLongComment, Call::Set, u"Main", u"K", u"new"},
    {"text delete entry", kMain, Call::Delete, u"Main", u"Title", nullptr},
    {"UTF-16 delete section", Utf16File(kMain), Call::Delete, u"Main", nullptr, nullptr},
    {"missing file", kMissing, Call::Set, u"Main", u"Version", u"1"},
};

class ProfileFaultTest : public ProfileFileTest {
 protected:
  void SetUp() override {
    ProfileFileTest::SetUp();
    UseFaultWrapper();
  }

  void Restore(const std::string& bytes) {
    if (bytes == kMissing) {
      std::remove(HostPath("profile.ini").c_str());
    } else {
      Store(bytes);
    }
  }
  std::string State() const { return HostExists("profile.ini") ? Stored() : kMissing; }

  // Runs the call; a lookup's result is its output, a write's its 0 or 1.
  std::string Run(const SweepCase& c) {
    if (c.call == Call::Get) {
      char16_t output[50];
      ReadProfileString(c.section, c.key, u"-", output, 50, kFile);
      std::u16string value = output;
      return std::string(value.begin(), value.end());
    }
    return std::to_string(WriteProfileString(c.section, c.key, c.value, kFile));
  }

  // A lookup gives the clean result or, when a call failed, the default.
  // A write gives the clean result, or 0 with the old content in place or
  // the new one waiting beside it; finishing the replace leaves one of them.
  void Check(const SweepCase& c, const std::string& cleanResult, const std::string& after,
             const std::string& result, bool faulted) {
    ClearFaults(&faults);
    if (c.call == Call::Get) {
      EXPECT_EQ(result, faulted ? "-" : cleanResult);
      return;
    }
    std::string now = State();
    if (!faulted || result == "1") {
      EXPECT_EQ(result, "1");
      EXPECT_EQ(now, after);
    } else {
      EXPECT_EQ(result, "0");
      EXPECT_TRUE(now == c.bytes || now == kMissing) << now;
    }
    EXPECT_EQ(FinishProfileReplace(kFile), 1);
    std::string finished = State();
    EXPECT_TRUE(finished == after || (finished == c.bytes && result == "0")) << finished;
    EXPECT_FALSE(HostExists("profile.ini~new"));
    EXPECT_FALSE(HostExists("profile.ini~old"));
  }
};

TEST_F(ProfileFaultTest, FailingCallsGiveTheDefaultOrLeaveOldOrNewContent) {
  for (const SweepCase& c : kCases) {
    SCOPED_TRACE(c.name);
    Restore(c.bytes);
    int calls[kOperationCount];
    std::copy(faults.calls, faults.calls + kOperationCount, calls);
    std::string cleanResult = Run(c);
    std::string after = State();
    for (int operation = 0; operation < kOperationCount; ++operation) {
      calls[operation] = faults.calls[operation] - calls[operation];
    }
    for (int operation = 0; operation < kOperationCount; ++operation) {
      for (int k = 1; k <= calls[operation]; ++k) {
        for (bool persistent : {false, true}) {
          SCOPED_TRACE(std::to_string(operation) + " #" + std::to_string(k) +
                       (persistent ? " on" : " once"));
          Restore(c.bytes);
          int injected = faults.faultsInjected;
          FailCall(&faults, static_cast<FileOperation>(operation), k, kErrorWriteFault, persistent);
          std::string result = Run(c);
          Check(c, cleanResult, after, result, faults.faultsInjected > injected);
        }
      }
    }
  }
}

// A file of about size bytes in its encoding whose last section is [Last].
std::string LargeFile(size_t size, bool utf16) {
  std::string text = "[Main]\r\n";
  size_t characters = utf16 ? size / 2 : size;
  while (text.size() < characters) {
    text += "Entry" + std::to_string(text.size()) + "=some value\r\n";
  }
  text += "[Last]\r\nKey=v\r\n";
  return utf16 ? Utf16File(text) : text;
}

TEST_F(ProfileFaultTest, LargeFileIsReadAndWrittenInBlocks) {
  for (bool utf16 : {false, true}) {
    SCOPED_TRACE(utf16 ? "UTF-16" : "text");
    std::string bytes = LargeFile(100 * 1024, utf16);
    Store(bytes);
    int reads = faults.calls[kOperationRead] + faults.calls[kOperationSeek];
    char16_t output[10];
    ReadProfileString(u"Last", u"Key", u"-", output, 10, kFile);
    EXPECT_EQ(std::u16string(output), u"v");
    EXPECT_LE(faults.calls[kOperationRead] + faults.calls[kOperationSeek] - reads, 64);

    reads = faults.calls[kOperationRead] + faults.calls[kOperationSeek];
    int writes = faults.calls[kOperationWrite];
    EXPECT_EQ(WriteProfileString(u"Last", u"Key", u"w", kFile), 1);
    EXPECT_LE(faults.calls[kOperationRead] + faults.calls[kOperationSeek] - reads, 64);
    int blocks = static_cast<int>(bytes.size()) / kProfileBlockSize + 1;
    EXPECT_LE(faults.calls[kOperationWrite] - writes, blocks);
  }
}

}  // namespace
}  // namespace nimbora
