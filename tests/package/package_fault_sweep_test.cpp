// A realistic package applied again and again, with the k-th call failing
// each time: every run must end cleanly, report what the rules say for that
// one failure, and leave everything outside the application directory alone.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "package/package_device.h"

namespace nimbora {
namespace {

const char kDescriptionText[] =
    "[Main]\nVersion=1.2.4\nUpdate Time=2013-08-16 07:30:05\nDelete=all\nUpdate=3\n"
    "[Update]\nfile1=bin\\new\\deep\\tool.dll\nfile2=main.ini\nfile3=maps\\\n";
const char* const kListedFiles[] = {"bin/new/deep/tool.dll", "main.ini"};
const char* const kMapFiles[] = {"maps/x.map", "maps/d/y.map"};

bool IsTreeCall(FileOperation operation) {
  switch (operation) {
    case kOperationFindFirst:
    case kOperationFindNext:
    case kOperationCreateDirectory:
    case kOperationRemoveDirectory:
    case kOperationCopyFile:
    case kOperationDeleteFile:
    case kOperationSetAttributes:
      return true;
    default:
      return false;
  }
}

bool IsDescriptionCall(FileOperation operation) {
  return operation == kOperationOpen || operation == kOperationRead ||
         operation == kOperationSeek || operation == kOperationTell;
}

class PackageFaultSweep : public PackageDevice {
 protected:
  void Lay() {
    std::filesystem::remove_all(HostPath("ResidentFlash"));
    std::filesystem::remove_all(HostPath("Storage Card"));
    for (const char* file : {"main.ini", "Language.ini", "bin/app.dll", "bin/old/x.dll",
                             "maps/old.map", "Database/Param.dat", "Database/data.db"}) {
      WriteApplicationFile(file, "old");
    }
    SetHostReadOnly("ResidentFlash/Nimbora/bin/app.dll", true);
    WriteHostFile("ResidentFlash/Other/keep.txt", "outside");
    WriteDescription(kDescriptionText);
    for (const char* file : kListedFiles) WritePackageFile(file, file);
    for (const char* file : kMapFiles) WritePackageFile(file, file);
    ForgetHostListings();
  }

  // Applies the package with the n-th call that counts failing (0: none).
  int ApplyFailing(bool (*counts)(FileOperation), int n, uint32_t error) {
    Lay();
    calls.clear();
    int seen = 0;
    failWhen = [&](const RecordedCall& call) {
      return counts(call.operation) && ++seen == n ? error : 0u;
    };
    return Apply();
  }

  std::string Outside() const {
    std::istringstream lines(DescribeHostTree());
    std::string line, kept;
    while (std::getline(lines, line)) {
      if (line.rfind("ResidentFlash/Nimbora/", 0) != 0) kept += line + "\n";
    }
    return kept;
  }

  bool EveryCopyArrived() const {
    for (const char* file : kListedFiles) {
      if (!HostExists(kApplicationHost + std::string(file)) ||
          ReadHostFile(kApplicationHost + std::string(file)) != file) {
        return false;
      }
    }
    for (const char* file : kMapFiles) {
      if (!HostExists(kApplicationHost + std::string(file))) return false;
    }
    return true;
  }

  void ExpectUntouchedOutside(const std::string& outside, const std::string& database) const {
    EXPECT_EQ(Outside(), outside);
    EXPECT_EQ(DescribeHostTree("ResidentFlash/Nimbora/Database"), database);
  }

  void SetUp() override {
    PackageDevice::SetUp();
    RecordCalls();
  }
};

// What the rules say when the given call of a fault-free run fails with
// error: a failed creation always fails the copy step (for a listed file it
// also ends the list); a listed file's first copy is retried, after its
// parents are walked when the code is 3, so it fails only when it needed
// those parents and did not get them; every other failed copy counts. In
// the copy step a source directory that cannot be read fails the copy,
// unless the code says that it is missing (3), which counts as empty.
int ExpectedResult(const RecordedCall& failed, uint32_t error, bool copyStep,
                   const std::map<std::u16string, int>& copiesOfListedTarget, int attempt) {
  if (failed.operation == kOperationCreateDirectory) return 0;
  if (copyStep && failed.operation == kOperationFindFirst) return error == kErrorPathNotFound;
  if (copyStep && failed.operation == kOperationFindNext) return 0;
  if (failed.operation != kOperationCopyFile) return 1;
  auto listed = copiesOfListedTarget.find(failed.target);
  if (listed == copiesOfListedTarget.end() || attempt > 1) return 0;
  bool neededParents = listed->second == 2;
  return !neededParents || error == kErrorPathNotFound ? 1 : 0;
}

TEST_F(PackageFaultSweep, EachTreeCallFailingInTurn) {
  EXPECT_EQ(ApplyFailing(IsTreeCall, 0, 0), 1);
  ASSERT_TRUE(EveryCopyArrived());
  std::vector<RecordedCall> cleanRun;
  std::map<std::u16string, int> copiesOfListedTarget;
  for (const RecordedCall& call : calls) {
    if (IsTreeCall(call.operation)) cleanRun.push_back(call);
  }
  for (const char* file : kListedFiles) {
    std::u16string target = kApplication + Device(file);
    for (char16_t& c : target) c = c == u'/' ? u'\\' : c;
    for (const RecordedCall& call : cleanRun) copiesOfListedTarget[target] += call.target == target;
  }
  std::string outside = Outside();
  std::string database = DescribeHostTree("ResidentFlash/Nimbora/Database");
  // The delete step neither copies nor creates; the copy step deletes nothing.
  size_t copyStepStart = 0;
  while (cleanRun[copyStepStart].operation != kOperationCopyFile &&
         cleanRun[copyStepStart].operation != kOperationCreateDirectory) {
    ++copyStepStart;
  }
  for (uint32_t error : {kErrorPathNotFound, kErrorAccessDenied}) {
    std::map<std::u16string, int> attempts;
    for (size_t k = 1; k <= cleanRun.size(); ++k) {
      const RecordedCall& failed = cleanRun[k - 1];
      bool copyStep = k > copyStepStart;
      int attempt = failed.operation == kOperationCopyFile ? ++attempts[failed.target] : 0;
      SCOPED_TRACE("error " + std::to_string(error) + ", call " + std::to_string(k));
      int result = ApplyFailing(IsTreeCall, static_cast<int>(k), error);
      EXPECT_EQ(result, ExpectedResult(failed, error, copyStep, copiesOfListedTarget, attempt));
      bool seenAsMissing = copyStep && failed.operation == kOperationFindFirst;
      EXPECT_TRUE(result == 0 || seenAsMissing || EveryCopyArrived());
      ExpectUntouchedOutside(outside, database);
    }
  }
}

// A failed read of the description makes that one lookup deliver its
// default. Whatever it hits, a success must mean that either every copy
// arrived or the copy step found nothing to do.
TEST_F(PackageFaultSweep, EachDescriptionReadFailingInTurn) {
  ApplyFailing(IsDescriptionCall, 0, 0);
  int reads = 0;
  for (const RecordedCall& call : calls) reads += IsDescriptionCall(call.operation);
  std::string outside = Outside();
  std::string database = DescribeHostTree("ResidentFlash/Nimbora/Database");
  for (int k = 1; k <= reads; ++k) {
    SCOPED_TRACE("call " + std::to_string(k));
    int result = ApplyFailing(IsDescriptionCall, k, kErrorAccessDenied);
    bool nothingCopied = !HostExists("ResidentFlash/Nimbora/maps/x.map") &&
                         !HostExists("ResidentFlash/Nimbora/bin/new");
    EXPECT_TRUE(result == 0 || EveryCopyArrived() || nothingCopied);
    ExpectUntouchedOutside(outside, database);
  }
}

}  // namespace
}  // namespace nimbora
