// Single injected failures of chosen file-system calls, with chosen codes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "package/package_device.h"

namespace nimbora {
namespace {

class PackageFaultsTest : public PackageDevice {
 protected:
  // The copy and create calls only, as "copy <target>" and "create <path>".
  std::vector<std::u16string> CopiesAndCreates() const {
    std::vector<std::u16string> steps;
    for (const RecordedCall& call : calls) {
      if (call.operation == kOperationCopyFile) steps.push_back(u"copy " + call.target);
      if (call.operation == kOperationCreateDirectory) steps.push_back(u"create " + call.path);
    }
    return steps;
  }
};

// The directories exist, so only the injected code decides whether the
// parents are walked before the second attempt.
struct FirstCopyCase {
  const char* name;
  uint32_t error;
  std::vector<std::u16string> steps;
};

class FirstCopyFails : public PackageFaultsTest,
                       public ::testing::WithParamInterface<FirstCopyCase> {};

TEST_P(FirstCopyFails, SecondAttemptDecidesTheEntry) {
  MakeHostDirectory("ResidentFlash/Nimbora/bin");
  WritePackageFile("bin/tool.dll", "tool");
  WriteDescription("[Main]\nUpdate=1\n[Update]\nfile1=bin\\tool.dll\n");
  RecordCalls();
  FailCall(&faults, kOperationCopyFile, 1, GetParam().error, false);
  EXPECT_EQ(Apply(), 1);
  EXPECT_EQ(CopiesAndCreates(), GetParam().steps);
  EXPECT_EQ(ReadHostFile("ResidentFlash/Nimbora/bin/tool.dll"), "tool");
}

const std::u16string kCopyTool = u"copy \\ResidentFlash\\Nimbora\\bin\\tool.dll";

INSTANTIATE_TEST_SUITE_P(
    Cases, FirstCopyFails,
    ::testing::Values(
        FirstCopyCase{"PathNotFoundWalksTheParents", kErrorPathNotFound,
                      {kCopyTool, u"create \\ResidentFlash", u"create \\ResidentFlash\\Nimbora",
                       u"create \\ResidentFlash\\Nimbora\\bin", kCopyTool}},
        FirstCopyCase{"AnyOtherCodeRetriesAtOnce", kErrorAccessDenied, {kCopyTool, kCopyTool}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PackageFaultsTest, FailedParentDirectoryEndsTheList) {
  MakeHostDirectory(kApplicationHost);
  WritePackageFile("new/a.txt");
  WritePackageFile("b.txt");
  WriteDescription("[Main]\nUpdate=2\n[Update]\nfile1=new\\a.txt\nfile2=b.txt\n");
  RecordCalls();
  failWhen = [](const RecordedCall& call) {
    bool newDirectory = call.path == u"\\ResidentFlash\\Nimbora\\new";
    return call.operation == kOperationCreateDirectory && newDirectory ? kErrorWriteFault : 0u;
  };
  EXPECT_EQ(Apply(), 0);
  EXPECT_EQ(CopiesAndCreates().back(), u"create \\ResidentFlash\\Nimbora\\new");
  EXPECT_EQ(ApplicationEntries(), std::set<std::string>{});
}

struct ToleratedCase {
  const char* name;
  std::string failingFile;  // as it is named in the package on disk
  int result;
};

class OnlyOneFileFailsInAllCopy : public PackageFaultsTest,
                                  public ::testing::WithParamInterface<ToleratedCase> {};

TEST_P(OnlyOneFileFailsInAllCopy, OnlyTheUpdaterAtTheTopIsForgiven) {
  MakeHostDirectory(kApplicationHost);
  WritePackageFile(GetParam().failingFile);
  WritePackageFile("a.txt");
  WriteDescription("[Main]\nUpdate=all\n");
  RecordCalls();
  std::u16string failing = Device("\\Storage Card\\Update Nimbora\\" + GetParam().failingFile);
  for (char16_t& c : failing) c = c == u'/' ? u'\\' : c;
  failWhen = [&failing](const RecordedCall& call) {
    return call.operation == kOperationCopyFile && call.path == failing ? kErrorAccessDenied : 0u;
  };
  EXPECT_EQ(Apply(), GetParam().result);
  EXPECT_TRUE(HostExists("ResidentFlash/Nimbora/a.txt"));
  EXPECT_TRUE(HostExists("ResidentFlash/Nimbora/update.ini"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OnlyOneFileFailsInAllCopy,
    ::testing::Values(ToleratedCase{"Updater", "Update.exe", 1},
                      ToleratedCase{"UpdaterInCapitals", "UPDATE.EXE", 1},
                      ToleratedCase{"AnotherFile", "Updater.exe", 0},
                      ToleratedCase{"UpdaterBelowTheTop", "bin/Update.exe", 0}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace nimbora
