#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "profile/profile_reader.h"
#include "profile/profile_writer.h"
#include "profile_files.h"

namespace nimbora {
namespace {

struct WriteCase {
  const char* name;
  std::string before;
  const char16_t* section;
  const char16_t* key;    // nullptr: remove the section
  const char16_t* value;  // nullptr: remove the entry
  std::string after;
};

const std::string kThree = "[A]\r\na=1\r\n;about B\r\n\r\n[B]\r\nb=2\r\n\r\n[C]\r\nc=3\r\n";

const WriteCase kWrites[] = {
    {"replace with a longer value", "[Main]\r\nVersion=1.2.3\r\nTitle=x\r\n", u"Main", u"Version",
     u"1.2.10", "[Main]\r\nVersion=1.2.10\r\nTitle=x\r\n"},
    {"replace with a shorter value", "[Main]\r\nVersion=1.2.3\r\nTitle=x\r\n", u"Main", u"Version",
     u"1.3", "[Main]\r\nVersion=1.3\r\nTitle=x\r\n"},
    {"replace with a value of the same length", "[Main]\r\nVersion=1.2.3\r\n", u"Main", u"Version",
     u"1.2.4", "[Main]\r\nVersion=1.2.4\r\n"},
    {"replaced line without line end gets one", "[Main]\r\nVersion=1", u"Main", u"Version", u"2",
     "[Main]\r\nVersion=2\r\n"},
    {"insert before the next header, after blank lines",
     "[Main]\r\nVersion=1\r\n\r\n[Option]\r\nLangue=en\r\n", u"Main", u"Update Time", u"T",
     "[Main]\r\nVersion=1\r\n\r\nUpdate Time=T\r\n[Option]\r\nLangue=en\r\n"},
    {"insert at the end of the last section", "[Option]\r\n[Main]\r\nVersion=1\r\n", u"Main",
     u"Title", u"x", "[Option]\r\n[Main]\r\nVersion=1\r\nTitle=x\r\n"},
    {"insert behind a last line without line end", "[Main]\r\nVersion=1", u"Main", u"Title", u"x",
     "[Main]\r\nVersion=1\r\nTitle=x\r\n"},
    {"insert behind a last comment without line end", "[Main]\r\n;note", u"Main", u"Title", u"x",
     "[Main]\r\n;note\r\nTitle=x\r\n"},
    {"new section after a final line end", "[Option]\r\nLangue=en\r\n", u"Main", u"Version", u"1",
     "[Option]\r\nLangue=en\r\n\r\n[Main]\r\nVersion=1\r\n"},
    {"new section without a final line end", "[Option]\r\nLangue=en", u"Main", u"Version", u"1",
     "[Option]\r\nLangue=en\r\n[Main]\r\nVersion=1\r\n"},
    {"key written as the caller spells it", "[Main]\r\nversion=1.0.0\r\n", u"Main", u"Version",
     u"2", "[Main]\r\nVersion=2\r\n"},
    {"only the first of two entries", "[Main]\r\nV=1\r\nV=2\r\n", u"Main", u"v", u"3",
     "[Main]\r\nv=3\r\nV=2\r\n"},
    {"comment never replaced", "[Main]\r\n;Version=1.0.0\r\n", u"Main", u"Version", u"2",
     "[Main]\r\n;Version=1.0.0\r\nVersion=2\r\n"},
    {"entry before any header untouched", "Version=0\r\n[Main]\r\nVersion=1\r\n", u"Main",
     u"Version", u"2", "Version=0\r\n[Main]\r\nVersion=2\r\n"},
    {"LF file keeps its other line ends", "[Main]\nVersion=1\nTitle=x\n", u"Main", u"Version",
     u"22", "[Main]\nVersion=22\r\nTitle=x\n"},
    {"remove an entry", "[Main]\r\nVersion=1\r\nTitle=x\r\n", u"Main", u"Version", nullptr,
     "[Main]\r\nTitle=x\r\n"},
    {"remove an absent entry", "[Main]\r\nTitle=x\r\n", u"Main", u"Version", nullptr,
     "[Main]\r\nTitle=x\r\n"},
    {"remove the first section", kThree, u"A", nullptr, nullptr, "[B]\r\nb=2\r\n\r\n[C]\r\nc=3\r\n"},
    {"remove a middle section", kThree, u"b", nullptr, nullptr,
     "[A]\r\na=1\r\n;about B\r\n\r\n[C]\r\nc=3\r\n"},
    {"remove the last section", kThree, u"C", nullptr, nullptr,
     "[A]\r\na=1\r\n;about B\r\n\r\n[B]\r\nb=2\r\n\r\n"},
    {"remove an absent section", kThree, u"D", nullptr, nullptr, kThree},
};

// Every case holds for text files and, unit for unit, for UTF-16 files.
class WriteTest : public ProfileFileTest, public ::testing::WithParamInterface<bool> {
 protected:
  std::string Encoded(const std::string& text) { return GetParam() ? Utf16File(text) : text; }
};

TEST_P(WriteTest, ChangesExactlyWhatWasAsked) {
  for (const WriteCase& c : kWrites) {
    SCOPED_TRACE(c.name);
    Store(Encoded(c.before));
    EXPECT_EQ(WriteProfileString(c.section, c.key, c.value, kFile), 1);
    EXPECT_EQ(Stored(), Encoded(c.after));
  }
}

INSTANTIATE_TEST_SUITE_P(Encodings, WriteTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return std::string(info.param ? "Utf16" : "Text");
                         });

using WriteFileTest = ProfileFileTest;

TEST_F(WriteFileTest, RecordingIntoMissingFileGivesFourLines) {
  EXPECT_EQ(WriteProfileString(u"Main", u"Version", u"1.2.4", kFile), 1);
  EXPECT_EQ(Stored(), "\r\n[Main]\r\nVersion=1.2.4\r\n");
  EXPECT_EQ(WriteProfileString(u"Main", u"Update Time", u"2012-05-01 10:00:00", kFile), 1);
  EXPECT_EQ(Stored(), "\r\n[Main]\r\nVersion=1.2.4\r\nUpdate Time=2012-05-01 10:00:00\r\n");
}

TEST_F(WriteFileTest, RemovingFromMissingFileLeavesItEmpty) {
  EXPECT_EQ(WriteProfileString(u"Main", u"Version", nullptr, kFile), 1);
  EXPECT_EQ(Stored(), "");
}

TEST_F(WriteFileTest, FileInMissingDirectoryFails) {
  EXPECT_EQ(WriteProfileString(u"Main", u"Version", u"1", u"\\absent\\main.ini"), 0);
}

TEST_F(WriteFileTest, NonAsciiTextKeepsTheFileEncoding) {
  Store("[Main]\r\n");
  EXPECT_EQ(WriteProfileString(u"Main", u"Title", u"\u03A9\u00E9", kFile), 1);
  EXPECT_EQ(Stored(), "[Main]\r\nTitle=\xCE\xA9\xC3\xA9\r\n");
  Store(Utf16File("[Main]\r\n"));
  EXPECT_EQ(WriteProfileString(u"Main", u"Title", u"\u03A9\u00E9", kFile), 1);
  EXPECT_EQ(Stored(), Utf16File("[Main]\r\n") + Utf16Units(u"Title=\u03A9\u00E9\r\n"));
}

TEST_F(WriteFileTest, TrailingOddByteStaysBehindAlignedText) {
  Store(Utf16File("[Main]\r\nVersion=1\r\n") + "Z");
  EXPECT_EQ(WriteProfileString(u"Main", u"Title", u"x", kFile), 1);
  EXPECT_EQ(Stored(), Utf16File("[Main]\r\nVersion=1\r\nTitle=x\r\n") + "Z");
  char16_t title[10];
  ReadProfileString(u"Main", u"Title", u"d", title, 10, kFile);
  EXPECT_EQ(std::u16string(title), u"x");
}

TEST_F(WriteFileTest, ReadOnlyFileOrOverlongPathFailsAndChangesNothing) {
  Store("[Main]\r\nVersion=1\r\n");
  SetHostReadOnly("profile.ini", true);
  EXPECT_EQ(WriteProfileString(u"Main", u"Version", u"2", kFile), 0);
  SetHostReadOnly("profile.ini", false);
  EXPECT_EQ(Stored(), "[Main]\r\nVersion=1\r\n");
  EXPECT_FALSE(HostExists("profile.ini~new"));
  EXPECT_FALSE(HostExists("profile.ini~old"));

  // No room in a 260-character path for the names of the new and old files.
  std::string name(251, 'a');
  std::u16string path = u"\\" + std::u16string(name.begin(), name.end()) + u".ini";
  EXPECT_EQ(WriteProfileString(u"Main", u"Version", u"2", path.c_str()), 0);
  EXPECT_EQ(FinishProfileReplace(path.c_str()), 0);
  EXPECT_FALSE(HostExists(name + ".ini"));
}

// What a replace cut short left behind (nullptr: no such file), and what the
// file holds once the next write or start has finished it.
struct LeftoverCase {
  const char* name;
  const char* target;
  const char* fresh;  // beside the target as "~new"
  const char* old;    // beside the target as "~old"
  const char* finished;
};

const LeftoverCase kLeftovers[] = {
    {"nothing left", "[Main]\r\nV=old\r\n", nullptr, nullptr, "[Main]\r\nV=old\r\n"},
    {"new file never moved in", "[Main]\r\nV=old\r\n", "[Main]\r\nV=n", nullptr,
     "[Main]\r\nV=old\r\n"},
    {"new file for a file never there", nullptr, "[Main]\r\nV=n", nullptr, nullptr},
    {"cut between the moves", nullptr, "[Main]\r\nV=new\r\n", "[Main]\r\nV=old\r\n",
     "[Main]\r\nV=new\r\n"},
    {"old file not yet deleted", "[Main]\r\nV=new\r\n", nullptr, "[Main]\r\nV=old\r\n",
     "[Main]\r\nV=new\r\n"},
};

TEST_F(WriteFileTest, ReplaceCutShortIsFinishedByTheNextWriteOrStart) {
  for (const LeftoverCase& c : kLeftovers) {
    for (bool byWrite : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (byWrite ? " by a write" : " at start"));
      std::remove(HostPath("profile.ini").c_str());
      if (c.target != nullptr) Store(c.target);
      if (c.fresh != nullptr) WriteHostFile("profile.ini~new", c.fresh);
      if (c.old != nullptr) WriteHostFile("profile.ini~old", c.old);
      std::string expected = c.finished != nullptr ? c.finished : "";
      if (byWrite) {
        EXPECT_EQ(WriteProfileString(u"Main", u"W", u"1", kFile), 1);
        expected = c.finished != nullptr ? expected + "W=1\r\n" : "\r\n[Main]\r\nW=1\r\n";
      } else {
        EXPECT_EQ(FinishProfileReplace(kFile), 1);
      }
      EXPECT_EQ(HostExists("profile.ini") ? Stored() : "", expected);
      EXPECT_FALSE(HostExists("profile.ini~new"));
      EXPECT_FALSE(HostExists("profile.ini~old"));
    }
  }
}

}  // namespace
}  // namespace nimbora
