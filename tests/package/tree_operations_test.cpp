#include "package/tree_operations.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "package/package_device.h"

namespace nimbora {
namespace {

using Entries = std::set<std::string>;

class TreeOperationsTest : public PackageDevice {
 protected:
  void WriteFiles(const std::vector<std::string>& files) const {
    for (const std::string& file : files) WriteHostFile("app/" + file, file);
  }
};

TEST_F(TreeOperationsTest, DeleteTreeRemovesEverythingWithReadOnlyFilesAndTheDirectory) {
  WriteFiles({"a.txt", "ro.txt", "sub/b.txt", "sub/deeper/c.txt"});
  SetHostReadOnly("app/ro.txt", true);
  DeleteTree(u"\\app", nullptr);
  EXPECT_FALSE(HostExists("app"));
}

struct SparingCase {
  const char* name;
  std::vector<std::string> files;
  const char16_t* excluded;
  Entries remaining;
};

class DeleteTreeSparing : public TreeOperationsTest,
                          public ::testing::WithParamInterface<SparingCase> {};

TEST_P(DeleteTreeSparing, KeepsOnlyWhatIsSparedAndTheDirectoriesAboveIt) {
  WriteFiles(GetParam().files);
  DeleteTree(u"\\app\\", GetParam().excluded);
  EXPECT_EQ(EntriesBelow("app"), GetParam().remaining);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DeleteTreeSparing,
    ::testing::Values(
        SparingCase{"Database",
                    {"main.ini", "bin/a.dll", "Database/Param.dat", "Database/sub/x.db"},
                    u"\\app\\Database",
                    {"Database/", "Database/Param.dat", "Database/sub/", "Database/sub/x.db"}},
        SparingCase{"DatabaseInCapitalsOnDisk",
                    {"main.ini", "DATABASE/x.db"},
                    u"\\app\\Database",
                    {"DATABASE/", "DATABASE/x.db"}},
        SparingCase{"FileTwoLevelsDown",
                    {"a/b/keep.txt", "a/b/gone.txt", "a/gone.txt", "c.txt"},
                    u"\\APP\\a\\B\\Keep.txt",
                    {"a/", "a/b/", "a/b/keep.txt"}},
        SparingCase{"NamesWithAFullStop",
                    {"sub/.hidden", "sub/x.txt", ".profile"},
                    nullptr,
                    {".profile", "sub/", "sub/.hidden"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TreeOperationsTest, DeleteTreeOfMissingDirectoryChangesNothingAndEmptyOneGoes) {
  WriteHostFile("other.txt", "x");
  std::string before = DescribeHostTree();
  DeleteTree(u"\\missing", nullptr);
  EXPECT_EQ(DescribeHostTree(), before);
  MakeHostDirectory("empty");
  DeleteTree(u"\\empty", nullptr);
  EXPECT_FALSE(HostExists("empty"));
}

// 23 + 201 + 60 characters: the file's path cannot be formed in 260.
TEST_F(TreeOperationsTest, DeleteTreeLeavesAnEntryWhosePathDoesNotFit) {
  std::string deep = "ResidentFlash/Nimbora/" + std::string(200, 'd') + "/" + std::string(60, 'f');
  WriteHostFile(deep, "x");
  WriteApplicationFile("short.txt");
  DeleteTree(kApplication, nullptr);
  EXPECT_TRUE(HostExists(deep));
  EXPECT_FALSE(HostExists("ResidentFlash/Nimbora/short.txt"));
}

TEST_F(TreeOperationsTest, CopyTreeOverwritesKeepsExtrasAndCreatesDirectoriesAtEveryDepth) {
  WriteHostFile("src/a.txt", "new a");
  WriteHostFile("src/sub/deep/c.txt", "new c");
  WriteHostFile("src/.hidden", "h");
  WriteHostFile("dst/a.txt", "old a");
  WriteHostFile("dst/extra.txt", "extra");
  EXPECT_EQ(CopyTree(u"\\src", u"\\dst", u"\\src\\Update.exe"), 1);
  EXPECT_EQ(EntriesBelow("dst"), (Entries{"a.txt", "extra.txt", "sub/", "sub/deep/", "sub/deep/c.txt"}));
  EXPECT_EQ(ReadHostFile("dst/a.txt"), "new a");
  EXPECT_EQ(ReadHostFile("dst/sub/deep/c.txt"), "new c");
}

TEST_F(TreeOperationsTest, CopyTreeFromAnEmptyOrMissingSourceOnlyCreatesTheTarget) {
  MakeHostDirectory("empty");
  EXPECT_EQ(CopyTree(u"\\empty", u"\\t1", u"\\empty\\Update.exe"), 1);
  EXPECT_EQ(CopyTree(u"\\missing", u"\\t2\\", u"\\missing\\Update.exe"), 1);
  EXPECT_TRUE(HostIsDirectory("t1"));
  EXPECT_TRUE(HostIsDirectory("t2"));
  EXPECT_EQ(CopyTree(u"\\missing", u"\\no\\such\\t3", u"\\missing\\Update.exe"), 0);
  EXPECT_FALSE(HostExists("no"));
}

// The source path fits (3 + 240) but the target path (30 + 240) does not: a
// cut target name would receive the file under a name nobody asked for.
TEST_F(TreeOperationsTest, CopyTreeCountsAnEntryWhosePathDoesNotFitAsFailed) {
  std::string longName(240, 'n');
  WriteHostFile("src/" + longName, "long");
  WriteHostFile("src/short.txt", "short");
  MakeHostDirectory("ResidentFlash/Nimbora");
  EXPECT_EQ(CopyTree(u"\\src", u"\\ResidentFlash\\Nimbora\\Target", u"\\src\\Update.exe"), 0);
  EXPECT_EQ(EntriesBelow("ResidentFlash/Nimbora/Target"), Entries{"short.txt"});
}

struct ParentsCase {
  const char* name;
  const char16_t* path;
  std::vector<std::u16string> created;  // the directories asked for, in order
};

class CreateParentDirectoriesCases : public TreeOperationsTest,
                                     public ::testing::WithParamInterface<ParentsCase> {};

TEST_P(CreateParentDirectoriesCases, CreatesEachLeadingDirectoryOuterFirst) {
  MakeHostDirectory("ResidentFlash/Nimbora");
  RecordCalls();
  EXPECT_EQ(CreateParentDirectories(GetParam().path), 1);
  EXPECT_EQ(PathsOf(kOperationCreateDirectory), GetParam().created);
  for (const std::u16string& directory : GetParam().created) {
    std::string host(directory.begin(), directory.end());
    for (char& c : host) c = c == '\\' ? '/' : c;
    EXPECT_TRUE(HostIsDirectory(host)) << host;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CreateParentDirectoriesCases,
    ::testing::Values(
        ParentsCase{"TwoDeepBelowTheApplication",
                    u"\\ResidentFlash\\Nimbora\\a\\b\\f.txt",
                    {u"\\ResidentFlash", u"\\ResidentFlash\\Nimbora",
                     u"\\ResidentFlash\\Nimbora\\a", u"\\ResidentFlash\\Nimbora\\a\\b"}},
        ParentsCase{"BareFileName", u"f.txt", {}},
        ParentsCase{"FileBelowTheRoot", u"\\f.txt", {}},
        ParentsCase{"FinalSeparatorIsTheCut", u"x\\y\\", {u"x", u"x\\y"}},
        ParentsCase{"RelativeWithSlashes", u"p/q/r/f.txt", {u"p", u"p\\q", u"p\\q\\r"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TreeOperationsTest, CreateParentDirectoriesStopsAtTheFirstDirectoryItCannotCreate) {
  RecordCalls();
  failWhen = [](const RecordedCall& call) {
    return call.operation == kOperationCreateDirectory && call.path == u"\\w\\x" ? 5u : 0u;
  };
  EXPECT_EQ(CreateParentDirectories(u"\\w\\x\\y\\f.txt"), 0);
  EXPECT_EQ(PathsOf(kOperationCreateDirectory), (std::vector<std::u16string>{u"\\w", u"\\w\\x"}));
  EXPECT_TRUE(HostIsDirectory("w"));
  EXPECT_FALSE(HostExists("w/x"));
}

TEST_F(TreeOperationsTest, CreateParentDirectoriesRefusesAPathThatDoesNotFit) {
  std::u16string tooLong = u"\\d\\" + std::u16string(kPathCapacity, u'f');
  EXPECT_EQ(CreateParentDirectories(tooLong.c_str()), 0);
  EXPECT_FALSE(HostExists("d"));
}

}  // namespace
}  // namespace nimbora
