// Entries whose paths cannot be formed whole in 260 characters: each case
// lays out a decoy at the place a cut path would name, which must survive.
#include <gtest/gtest.h>

#include <string>

#include "package/package_device.h"

namespace nimbora {
namespace {

class LongEntryTest : public PackageDevice {};

// 23 + 246 characters; cut at 259, the path would name keep\xxx...x\ (231 x).
TEST_F(LongEntryTest, ListedDeleteEntryThatDoesNotFitIsSkippedAndTheListGoesOn) {
  std::string decoy = "ResidentFlash/Nimbora/keep/" + std::string(231, 'x') + "/data.db";
  WriteHostFile(decoy, "keep");
  WriteApplicationFile("main.ini");
  WriteDescription("[Main]\nDelete=2\n[Delete]\nfile1=keep\\" + std::string(240, 'x') +
                   "\\\nfile2=main.ini\n");
  Apply();
  EXPECT_TRUE(HostExists(decoy));
  EXPECT_FALSE(HostExists("ResidentFlash/Nimbora/main.ini"));
}

// The line holds 269 characters, so the reader delivers the value cut after
// Data\yyy...y\ (253 characters), which looks like a whole directory entry;
// the file in it has a name short enough to be reached by a walk.
TEST_F(LongEntryTest, ListedEntryCutByTheLineLimitIsNotActedOn) {
  std::string directory = "A/Data/" + std::string(247, 'y');
  WriteHostFile(directory + "/k", "keep");
  WriteHostFile("A/gone.txt", "x");
  WriteDescription("[Delete]\nfile1=Data\\" + std::string(247, 'y') + "\\rest\\f.txt\nfile2=gone.txt\n");
  DeleteListedEntries(2, u"Delete", u"file", kDescription, u"\\A\\");
  EXPECT_TRUE(HostExists(directory + "/k"));
  EXPECT_FALSE(HostExists("A/gone.txt"));
}

// Source 29 + 235 characters does not fit; cut, it would name the decoy.
TEST_F(LongEntryTest, ListedCopyEntryThatDoesNotFitFailsAndTheListGoesOn) {
  MakeHostDirectory(kApplicationHost);
  WritePackageFile(std::string(235, 'n'), "meant");
  WritePackageFile(std::string(230, 'n'), "decoy");
  WritePackageFile("a.txt");
  WriteDescription("[Main]\nUpdate=2\n[Update]\nfile1=" + std::string(235, 'n') +
                   "\nfile2=a.txt\n");
  EXPECT_EQ(Apply(), 0);
  EXPECT_EQ(ApplicationEntries(), std::set<std::string>{"a.txt"});
}

}  // namespace
}  // namespace nimbora
