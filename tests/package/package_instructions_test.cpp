#include "package/package_instructions.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "package/package_device.h"
#include "profile/profile_files.h"

namespace nimbora {
namespace {

using Entries = std::set<std::string>;

const Entries kInstalled = {"Database/",  "Database/Param.dat", "Database/data.db",
                            "Language.ini", "bin/",             "bin/app.dll",
                            "main.ini"};

class PackageInstructionsTest : public PackageDevice {
 protected:
  void Install() const {
    for (const std::string& entry : kInstalled) {
      if (entry.back() != '/') WriteApplicationFile(entry);
    }
  }
};

struct DeleteCase {
  const char* name;
  std::string description;
  Entries remaining;
};

class DeleteInstruction : public PackageInstructionsTest,
                          public ::testing::WithParamInterface<DeleteCase> {};

TEST_P(DeleteInstruction, DeletesWhatTheDescriptionSays) {
  Install();
  WriteDescription(GetParam().description);
  EXPECT_EQ(Apply(), 1);  // nothing to copy
  EXPECT_EQ(ApplicationEntries(), GetParam().remaining);
}

const Entries kDatabase = {"Database/", "Database/Param.dat", "Database/data.db"};

INSTANTIATE_TEST_SUITE_P(
    Cases, DeleteInstruction,
    ::testing::Values(
        DeleteCase{"AllKeepsTheDatabase", "[Main]\nDelete=all\n", kDatabase},
        DeleteCase{"AllInCapitalsWithParam", "[Main]\nDelete=ALL\nDeleteParam=true\n",
                   {"Database/", "Database/data.db"}},
        DeleteCase{"DatabaseFlagOnlyTrueCounts", "[Main]\nDelete=All\nDeleteDatabase=yes\n",
                   kDatabase},
        DeleteCase{"DatabaseFlagOne", "[Main]\nDelete=all\nDeleteDatabase=1\n", kDatabase},
        DeleteCase{"AllFollowedByABlankIsNoCount", "[Main]\nDelete=all \n", kInstalled},
        DeleteCase{"Negative", "[Main]\nDelete=-2\n[Delete]\nfile1=main.ini\n", kInstalled},
        DeleteCase{"NoDigits", "[Main]\nDelete=x\n[Delete]\nfile1=main.ini\n", kInstalled},
        DeleteCase{"FileAndDirectory",
                   "[Main]\nDelete=2\n[Delete]\nfile1=main.ini\nfile2=bin\\\n",
                   {"Database/", "Database/Param.dat", "Database/data.db", "Language.ini"}},
        DeleteCase{"TrailingFullStop", "[Main]\nDelete=1\n[Delete]\nfile1=main.ini.\n",
                   {"Database/", "Database/Param.dat", "Database/data.db", "Language.ini", "bin/",
                    "bin/app.dll"}},
        DeleteCase{"DirectoryWithASlash", "[Main]\nDelete=1\n[Delete]\nfile1=Database/\n",
                   {"Language.ini", "bin/", "bin/app.dll", "main.ini"}},
        DeleteCase{"StopsAtTheFirstMissingEntry",
                   "[Main]\nDelete=3\n[Delete]\nfile1=main.ini\nfile3=Language.ini\n",
                   {"Database/", "Database/Param.dat", "Database/data.db", "Language.ini",
                    "bin/", "bin/app.dll"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PackageInstructionsTest, DeleteAllWithTheDatabaseRemovesTheApplicationDirectory) {
  Install();
  WriteDescription("[Main]\nDelete=all\nDeleteDatabase=TRUE\n");
  EXPECT_EQ(Apply(), 1);
  EXPECT_FALSE(HostExists(kApplicationHost));
}

TEST_F(PackageInstructionsTest, DeleteLeavesAReadOnlyListedFile) {
  Install();
  SetHostReadOnly("ResidentFlash/Nimbora/main.ini", true);
  WriteDescription("[Main]\nDelete=1\n[Delete]\nfile1=main.ini\n");
  Apply();
  EXPECT_TRUE(HostExists("ResidentFlash/Nimbora/main.ini"));
}

struct CopyCase {
  const char* name;
  std::string description;
  std::vector<std::string> packageFiles;
  int result;
  Entries installed;  // what the application directory holds afterwards
};

class CopyInstruction : public PackageInstructionsTest,
                        public ::testing::WithParamInterface<CopyCase> {};

TEST_P(CopyInstruction, CopiesTheListAndReportsWhetherAllOfItArrived) {
  MakeHostDirectory(kApplicationHost);
  for (const std::string& file : GetParam().packageFiles) WritePackageFile(file, file);
  WriteDescription(GetParam().description);
  EXPECT_EQ(Apply(), GetParam().result);
  EXPECT_EQ(ApplicationEntries(), GetParam().installed);
  for (const std::string& entry : GetParam().installed) {
    if (entry.back() != '/' && entry != "update.ini") {
      EXPECT_EQ(ReadHostFile(kApplicationHost + entry), entry);
    }
  }
}

std::string Listed(int count, const std::vector<std::string>& entries) {
  std::string text = "[Main]\nUpdate=" + std::to_string(count) + "\n[Update]\n";
  for (const std::string& entry : entries) text += entry + "\n";
  return text;
}

std::vector<std::string> TenFiles() {
  std::vector<std::string> files;
  for (int i = 1; i <= 10; ++i) files.push_back("f" + std::to_string(i));
  return files;
}

std::string TenEntries() {
  std::string text = "[Main]\nUpdate=10\n[Update]\n";
  for (int i = 1; i <= 10; ++i) text += "file" + std::to_string(i) + "=f" + std::to_string(i) + "\n";
  return text;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CopyInstruction,
    ::testing::Values(
        CopyCase{"AllFilesPresent", Listed(2, {"file1=a.txt", "FILE2=b.txt"}),
                 {"a.txt", "b.txt"}, 1, {"a.txt", "b.txt"}},
        CopyCase{"CountBeyondTheEntries", Listed(3, {"file1=a.txt", "file2=b.txt"}),
                 {"a.txt", "b.txt"}, 0, {"a.txt", "b.txt"}},
        CopyCase{"HugeCount", Listed(99999999, {"file1=a.txt", "file2=b.txt"}),
                 {"a.txt", "b.txt"}, 0, {"a.txt", "b.txt"}},
        CopyCase{"GapStillCopiesLaterEntries", Listed(5, {"file1=a.txt", "file5=b.txt"}),
                 {"a.txt", "b.txt"}, 0, {"a.txt", "b.txt"}},
        CopyCase{"EntryBeyondTheCountIsNotCopied", Listed(1, {"file1=a.txt", "file2=b.txt"}),
                 {"a.txt", "b.txt"}, 1, {"a.txt"}},
        CopyCase{"EmptyEntry", Listed(2, {"file1=", "file2=b.txt"}), {"b.txt"}, 0, {"b.txt"}},
        CopyCase{"LeadingZeroIsAnotherKey", Listed(2, {"file01=a.txt", "file2=b.txt"}),
                 {"a.txt", "b.txt"}, 0, {"b.txt"}},
        CopyCase{"EntryInAnotherSection",
                 "[Main]\nUpdate=2\n[Update]\nfile1=a.txt\n[Delete]\nfile2=b.txt\n",
                 {"a.txt", "b.txt"}, 0, {"a.txt"}},
        CopyCase{"TenthKeyFollowsTheNinth", TenEntries(), TenFiles(), 1,
                 {"f1", "f10", "f2", "f3", "f4", "f5", "f6", "f7", "f8", "f9"}},
        CopyCase{"NewDirectoriesForAFile", Listed(1, {"file1=a\\b\\f.txt"}), {"a/b/f.txt"}, 1,
                 {"a/", "a/b/", "a/b/f.txt"}},
        CopyCase{"FileMissingFromThePackage", Listed(1, {"file1=gone.txt"}), {}, 0, {}},
        CopyCase{"DirectoryEntry", Listed(1, {"file1=maps\\"}), {"maps/x.map", "maps/d/y.map"},
                 1, {"maps/", "maps/x.map", "maps/d/", "maps/d/y.map"}},
        // Trailing blanks and full stops are dropped from names, as on the device.
        CopyCase{"NamesWithTrailingBlankAndFullStops",
                 Listed(2, {"file1=a.txt ", "file2=maps.\\b.txt."}), {"a.txt", "maps/b.txt"}, 1,
                 {"a.txt", "maps/", "maps/b.txt"}},
        CopyCase{"DirectoryEntryNamingAFile", Listed(1, {"file1=notes\\"}), {"notes"}, 0,
                 {"notes/"}},
        CopyCase{"DirectoryEntryWithoutItsParent", Listed(1, {"file1=maps/d/"}),
                 {"maps/d/y.map"}, 0, {}},
        CopyCase{"ListedUpdateExeCounts", Listed(1, {"file1=Update.exe"}), {}, 0, {}},
        CopyCase{"Zero", "[Main]\nUpdate=0\n", {"a.txt"}, 1, {}},
        CopyCase{"Absent", "[Main]\nVersion=1.2.3\n", {"a.txt"}, 1, {}},
        CopyCase{"Negative", Listed(-3, {"file1=a.txt"}), {"a.txt"}, 1, {}},
        CopyCase{"All", "[Main]\nUpdate=ALL\n", {"a.txt", "d/b.txt"}, 1,
                 {"a.txt", "d/", "d/b.txt", "update.ini"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PackageInstructionsTest, MissingDescriptionDoesNothingAndSucceeds) {
  Install();
  EXPECT_EQ(Apply(), 1);
  EXPECT_EQ(ApplicationEntries(), kInstalled);
}

TEST_F(PackageInstructionsTest, ReadsAUtf16Description) {
  MakeHostDirectory(kApplicationHost);
  WritePackageFile("a.txt");
  WritePackageFile("b.txt");
  WriteDescription(Utf16File(WithCrLf(Listed(2, {"file1=a.txt", "file2=b.txt"}))));
  EXPECT_EQ(Apply(), 1);
  EXPECT_EQ(ApplicationEntries(), (Entries{"a.txt", "b.txt"}));
}

// A count far beyond the entries must cost what the entries cost: a few
// scans of the description, not one per index up to the count. Opens fail
// after the hundredth so that a regression fails in seconds, not hours.
TEST_F(PackageInstructionsTest, HugeCountReadsTheDescriptionOnlyForTheEntriesPresent) {
  MakeHostDirectory(kApplicationHost);
  WritePackageFile("a.txt");
  WritePackageFile("b.txt");
  WriteDescription(Listed(99999999, {"file1=a.txt", "file2=b.txt", "file40000=b.txt"}));
  UseFaultWrapper();
  FailCall(&faults, kOperationOpen, 100, kErrorAccessDenied, true);
  EXPECT_EQ(Apply(), 0);
  EXPECT_LE(faults.calls[kOperationOpen], 12);
  EXPECT_EQ(ApplicationEntries(), (Entries{"a.txt", "b.txt"}));
}

}  // namespace
}  // namespace nimbora
