#include "package/package_checksums.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "base/utf8.h"
#include "base/wide_string.h"
#include "package/package_device.h"

namespace nimbora {
namespace {

constexpr const char* kListHost = "Storage Card/Update Nimbora/update.sha256";

// The package's files in the order of the list, with what they hold.
const std::vector<std::pair<std::string, std::string>> kFiles = {
    {"bin/lib.dll", "library"},
    {"Donn\xC3\xA9" "es/\xC3\xA9t\xC3\xA9.txt", "texte"},
    {"Nimbora.exe", std::string(20000, 'x') + "end"},  // read in several pieces
    {"update.ini", "[Main]\r\nVersion=1.2.4\r\nUpdate=all\r\n"},
};

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

struct ChecksumCase {
  const char* name;
  std::function<std::string(const std::string&)> list;  // edits the list sha256sum wrote
  std::vector<std::pair<std::string, std::string>> written;  // files written afterwards
  std::string removed;                                        // a file removed afterwards
  ChecksumVerdict verdict;
  std::vector<std::string> problems;  // "problem line path"
};

void PrintTo(const ChecksumCase& c, std::ostream* out) { *out << c.name; }

class PackageChecksumsTest : public PackageDevice {
 protected:
  // The package with a list written by the system's sha256sum, as on a PC.
  void WritePackage() {
    std::string names;
    for (const auto& [name, bytes] : kFiles) {
      WritePackageFile(name, bytes);
      names += " '" + name + "'";
    }
    std::string command = "cd '" + HostPath(kPackageHost) + "' && sha256sum" + names +
                          " > update.sha256";
    ASSERT_EQ(std::system(command.c_str()), 0);
  }

  ChecksumVerdict Verify() {
    ChecksumReport report{&problems, Note, nullptr};
    return VerifyPackageChecksums(kPackage, &report);
  }

  static void Note(void* context, ChecksumProblem problem, int line, const char16_t* path) {
    static const char* kNames[] = {"malformed", "missing",         "unreadable",
                                   "changed",   "unlisted",        "unreadable list",
                                   "unreadable directory"};
    char utf8[4 * kPathCapacity] = "";
    if (path != nullptr) Utf8FromUtf16(path, WideLength(path), utf8, sizeof utf8);
    static_cast<std::vector<std::string>*>(context)->push_back(
        std::string(kNames[static_cast<int>(problem)]) + " " + std::to_string(line) + " " + utf8);
  }

  std::vector<std::string> problems;
};

class ChecksumCases : public PackageChecksumsTest,
                      public ::testing::WithParamInterface<ChecksumCase> {};

TEST_P(ChecksumCases, VerdictAndProblems) {
  WritePackage();
  const ChecksumCase& c = GetParam();
  if (c.list) WriteHostFile(kListHost, c.list(ReadHostFile(kListHost)));
  for (const auto& [name, bytes] : c.written) WritePackageFile(name, bytes);
  if (!c.removed.empty()) std::remove(HostPath(kPackageHost + c.removed).c_str());
  EXPECT_EQ(Verify(), c.verdict);
  EXPECT_EQ(problems, c.problems);
}

const std::string kExe = "\\Storage Card\\Update Nimbora\\Nimbora.exe";
const std::string kDll = "\\Storage Card\\Update Nimbora\\bin\\lib.dll";

// The right hash, one of its letters in capitals.
std::string UpperHex(const std::string& list) {
  std::string text = list;
  size_t letter = text.find_first_of("abcdef");
  EXPECT_LT(letter, 64u);
  text[letter] = static_cast<char>(std::toupper(text[letter]));
  return text;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ChecksumCases,
    ::testing::Values(
        ChecksumCase{"Holds", nullptr, {}, "", ChecksumVerdict::kHolds, {}},
        // Hidden names are no part of a package: the copy leaves them too.
        ChecksumCase{"HiddenFileAside", nullptr, {{".hidden", "x"}}, "", ChecksumVerdict::kHolds,
                     {}},
        ChecksumCase{"BinaryMarksAndCrLf",
                     [](const std::string& list) {
                       std::string text = Replaced(list, "  bin/", " *bin/");
                       return Replaced(text, "update.ini\n", "update.ini\r\n");
                     },
                     {}, "", ChecksumVerdict::kHolds, {}},
        ChecksumCase{"LetterCaseOfNames",
                     [](const std::string& list) {
                       return Replaced(Replaced(list, "bin/lib.dll", "BIN/Lib.DLL"), "update.ini",
                                       "UPDATE.INI");
                     },
                     {}, "", ChecksumVerdict::kHolds, {}},
        ChecksumCase{"FileMissing", nullptr, {}, "bin/lib.dll", ChecksumVerdict::kFails,
                     {"missing 1 " + kDll}},
        ChecksumCase{"FileExtra", nullptr, {{"sub/extra.txt", "x"}}, "", ChecksumVerdict::kFails,
                     {"unlisted 1 "}},
        ChecksumCase{"ListNameBelowTheTopIsAFile", nullptr, {{"bin/update.sha256", "x"}}, "",
                     ChecksumVerdict::kFails, {"unlisted 1 "}},
        ChecksumCase{"FileTruncated", nullptr, {{"Nimbora.exe", std::string(12000, 'x')}}, "",
                     ChecksumVerdict::kFails, {"changed 3 " + kExe}},
        ChecksumCase{"OneByteChanged", nullptr,
                     {{"Nimbora.exe", std::string(10000, 'x') + "y" + std::string(9999, 'x') +
                                          "end"}},
                     "", ChecksumVerdict::kFails, {"changed 3 " + kExe}},
        ChecksumCase{"FileInSubdirectoryChanged", nullptr, {{"bin/lib.dll", "librarY"}}, "",
                     ChecksumVerdict::kFails, {"changed 1 " + kDll}},
        ChecksumCase{"ListCutInItsLastLine",
                     [](const std::string& list) { return list.substr(0, list.size() - 4); }, {},
                     "", ChecksumVerdict::kFails, {"malformed 4 ", "unlisted 1 "}},
        ChecksumCase{"ListCutAfterALine",
                     [](const std::string& list) {
                       return list.substr(0, list.rfind('\n', list.size() - 2) + 1);
                     },
                     {}, "", ChecksumVerdict::kFails, {"unlisted 1 "}},
        ChecksumCase{"ListEmpty", [](const std::string&) { return std::string(); }, {}, "",
                     ChecksumVerdict::kFails, {"unlisted 4 "}},
        ChecksumCase{"HexInCapitals", UpperHex, {}, "", ChecksumVerdict::kFails,
                     {"malformed 1 ", "unlisted 1 "}},
        ChecksumCase{"OneBlankOnly",
                     [](const std::string& list) { return Replaced(list, "  bin/", " bin/"); }, {},
                     "", ChecksumVerdict::kFails, {"malformed 1 ", "unlisted 1 "}},
        // The device's separator is sha256sum's escape: no name holds it.
        ChecksumCase{"BackslashSeparator",
                     [](const std::string& list) { return Replaced(list, "bin/", "bin\\"); }, {},
                     "", ChecksumVerdict::kFails, {"malformed 1 ", "unlisted 1 "}},
        ChecksumCase{"NameRepeatedInOtherCase",
                     [](const std::string& list) {
                       std::string line = list.substr(list.rfind('\n', list.size() - 2) + 1);
                       return list + Replaced(line, "update.ini", "Update.INI");
                     },
                     {}, "", ChecksumVerdict::kFails, {"malformed 5 "}},
        ChecksumCase{"LinesOutOfOrder",
                     [](const std::string& list) {
                       size_t first = list.find('\n') + 1;
                       return list.substr(first) + list.substr(0, first);
                     },
                     {}, "", ChecksumVerdict::kFails, {"malformed 4 ", "unlisted 1 "}},
        ChecksumCase{"NamesOutsideThePackage",
                     [](const std::string& list) {
                       std::string hash = list.substr(0, 64);
                       return hash + "  ../x\n" + hash + "  .hidden\n" + hash + "  a//b\n" + hash +
                              "  a./b\n" + hash + "  update.sha256\n" + list;
                     },
                     {{".hidden", "library"}}, "", ChecksumVerdict::kFails,
                     {"malformed 1 ", "malformed 2 ", "malformed 3 ", "malformed 4 ",
                      "malformed 5 "}},
        ChecksumCase{"NotUtf8",
                     [](const std::string& list) {
                       return Replaced(list, "Donn\xC3\xA9" "es", "Donn\xE9" "es");
                     },
                     {}, "", ChecksumVerdict::kFails, {"malformed 2 ", "unlisted 1 "}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PackageChecksumsTest, PackageWithoutAListHasNothingToCheck) {
  for (const auto& [name, bytes] : kFiles) WritePackageFile(name, bytes);
  EXPECT_EQ(Verify(), ChecksumVerdict::kNoList);
  EXPECT_TRUE(problems.empty());
}

// Only a list that is not there means none; the list and each file are
// opened once and the package walked once, whatever fails on the way.
TEST_F(PackageChecksumsTest, FailuresToReadAreFailures) {
  WritePackage();
  RecordCalls();
  std::u16string failedPath;
  FileOperation failedOperation = kOperationCount;
  failWhen = [&](const RecordedCall& call) {
    bool struck = call.operation == failedOperation && call.path == failedPath;
    return struck ? kErrorSharingViolation : 0u;
  };
  struct Failure {
    FileOperation operation;
    std::string path;
    ChecksumVerdict verdict;
    std::vector<std::string> problems;
    size_t opens;  // the list and the files
    size_t searches;
  };
  std::string package = "\\Storage Card\\Update Nimbora\\";
  for (const Failure& failure : std::vector<Failure>{
           {kOperationOpen, package + "update.sha256", ChecksumVerdict::kFails,
            {"unreadable list 0 " + package + "update.sha256"}, 1, 0},
           {kOperationOpen, kDll, ChecksumVerdict::kFails, {"unreadable 1 " + kDll}, 5, 3},
           {kOperationFindFirst, package + "bin\\*.*", ChecksumVerdict::kFails,
            {"unreadable directory 0 " + package + "bin", "unlisted -1 "}, 5, 3},
           {kOperationCount, "", ChecksumVerdict::kHolds, {}, 5, 3}}) {
    failedOperation = failure.operation;
    failedPath = Device(failure.path);
    calls.clear();
    problems.clear();
    EXPECT_EQ(Verify(), failure.verdict) << failure.path;
    EXPECT_EQ(problems, failure.problems) << failure.path;
    EXPECT_EQ(PathsOf(kOperationOpen).size(), failure.opens) << failure.path;
    EXPECT_EQ(PathsOf(kOperationFindFirst).size(), failure.searches) << failure.path;
  }
}

}  // namespace
}  // namespace nimbora
