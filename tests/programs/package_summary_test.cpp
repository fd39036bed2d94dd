// nimbora-package's summary of a package without a device, and the progress
// line it shows while the checksum list is checked.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "support/device_fixture.h"
#include "tools/package/progress_line.h"

namespace nimbora {
namespace {

// The summary command, as people type it.
const std::string kSummary = NIMBORA_BINARY_DIR "/src/programs/nimbora-package inspect";

using Files = std::map<std::string, std::string>;  // path -> bytes; directories end with "/"

// Whether every field of expected is in actual with the same value; the
// items of an expected array are matched with the first items of actual's.
bool Holds(const nlohmann::json& actual, const nlohmann::json& expected, std::string* where) {
  if (expected.is_object()) {
    for (auto field = expected.begin(); field != expected.end(); ++field) {
      if (!actual.is_object() || !actual.contains(field.key()) || !Holds(actual[field.key()], *field, where)) {
        *where = field.key() + (where->empty() ? "" : "." + *where);
        return false;
      }
    }
    return true;
  }
  if (expected.is_array() && !expected.empty()) {
    if (!actual.is_array() || actual.size() < expected.size()) return false;
    for (size_t i = 0; i < expected.size(); ++i) {
      if (!Holds(actual[i], expected[i], where)) return false;
    }
    return true;
  }
  return actual == expected;
}

class PackageSummaryTest : public DeviceFixture {};

TEST_F(PackageSummaryTest, TellsWhatAPackageIsWithoutADevice) {
  struct Case {
    const char* name;
    std::string description;
    Files files;
    int status;
    const char* expected;  // fields the JSON holds
  } cases[] = {
      {"listed", "[Main]\r\nVersion=1.2.4\r\nUpdate Time=2026-11-20 07:05:00\r\nDelete=1\r\nUpdate=2\r\n"
                 "[Delete]\r\nfile1=old.txt\r\n[Update]\r\nfile1=A.TXT\r\nfile2=maps.\\\r\n",
       {{"a.txt", "abc"}, {"Maps/alps.map", "12345"}, {"Maps/.cache", "xx"}}, 0,
       R"({"version": "1.2.4", "time": "2026-11-20 7:05:00", "base": null,
           "delete": {"all": false, "count": 1, "entries": [{"index": 1, "key": "file1", "entry": "old.txt",
                                                             "state": "on the panel", "bytes": null}]},
           "update": {"all": false, "count": 2, "entries": [{"entry": "A.TXT", "state": "file", "bytes": 3},
                                                            {"entry": "maps.\\", "state": "directory", "bytes": 5}]},
           "neverCopied": ["Maps\\.cache"], "checksumList": "absent",
           "counts": {"errors": 0, "warnings": 0, "notes": 1}})"},
      {"all", "[Main]\r\nVersion=1.2.4\r\nDelete=all\r\nDeleteParam=TRUE\r\nUpdate=all\r\n",
       {{"a.txt", "a"}, {".hidden", "h"}, {"Skins/.old/x", "x"}}, 0,
       R"({"time": null, "delete": {"all": true, "database": false, "param": true, "entries": []},
           "update": {"all": true, "entries": []}, "neverCopied": [".hidden", "Skins\\.old\\x"]})"},
      {"missing entry and gaps", "[Main]\nVersion=1.2\nUpdate Time=soon\nDelete=3\nUpdate=3\n"
                                 "[Delete]\nfile1=a.txt\nfile3=..\\Windows\\\n[Update]\nfile1=none.txt\nfile3=Update.exe\n",
       {{"Update.exe", "u"}}, 1,
       R"({"version": "0.0.0", "update": {"entries": [{"index": 1, "state": "missing", "bytes": null},
                                                      {"index": 3, "state": "file"}]},
           "neverCopied": [],
           "findings": [{"code": "version-invalid", "key": "Main/Version", "line": 2},
                        {"code": "time-invalid", "key": "Main/Update Time", "line": 3},
                        {"code": "entry-outside", "key": "Delete/file3", "line": 8, "entry": "..\\Windows\\"},
                        {"code": "list-stops-early", "severity": "error", "key": "Main/Delete", "line": 4},
                        {"code": "entry-names-nothing", "severity": "warning", "key": "Update/file1", "line": 10,
                         "entry": "none.txt"},
                        {"code": "list-stops-early", "key": "Main/Update", "line": 5},
                        {"code": "update-exe-listed", "key": "Update/file3", "line": 11}],
           "counts": {"errors": 4, "warnings": 3}})"},
      {"never copied", "[Main]\nVersion=1.2.4\nUpdate=2\n[Update]\nfile1=a.txt\nfile2=Skins\\\n",
       {{"a.txt", "a"}, {"b.txt", "b"}, {"Maps/c.txt", "c"}, {"Skins/d.skin", "d"}, {"update.sha256", ""}}, 1,
       R"({"neverCopied": ["Maps\\c.txt", "b.txt"], "checksumList": "does not hold"})"},
      {"a base line", "[Main]\r\n; base 1.2.3\r\nVersion=1.2.4\r\nDelete=2\r\n[Delete]\r\nfile1=x\r\n", {}, 0,
       R"({"base": "1.2.3", "version": "1.2.4",
           "findings": [{"code": "count-beyond-entries", "severity": "note", "key": "Main/Delete"}]})"},
      {"a byte order mark", "\xEF\xBB\xBF[Main]\r\nVersion=1.2.4\r\n;" + std::string(300, 'c') + "\r\n", {}, 1,
       R"({"version": "0.0.0",
           "findings": [{"code": "description-encoding", "severity": "error", "line": 1},
                        {"code": "long-line", "line": 3}, {"code": "version-invalid"}]})"},
      {"UTF-16 without its mark", std::string("[\0M\0a\0i\0n\0]\0", 12), {}, 1,
       R"({"findings": [{"code": "description-encoding", "line": null}]})"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string package = std::string("package-") + c.name;
    for (const auto& [name, bytes] : c.files) WriteHostFile(package + "/" + name, bytes);
    WriteHostFile(package + "/update.ini", c.description);
    std::string command = kSummary + " --json '" + HostPath(package) + "' >'" + HostPath("out.json") + "'";
    int status = std::system(command.c_str());
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, c.status);
    nlohmann::json summary = nlohmann::json::parse(ReadHostFile("out.json"));
    std::string where;
    EXPECT_TRUE(Holds(summary, nlohmann::json::parse(c.expected), &where)) << where << "\n" << summary.dump(1);
  }
}

// Runs a progress of two seconds with stderr on descriptor `onto`.
void ShowProgressOn(int onto) {
  int saved = dup(2);
  dup2(onto, 2);
  for (int done = 0; done <= 12; ++done) {
    ShowProgress("hashing", done, 12);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
  }
  EndProgress();
  dup2(saved, 2);
  close(saved);
}

std::string ReadAll(int descriptor) {
  std::string bytes;
  char buffer[4096];
  for (ssize_t got; (got = read(descriptor, buffer, sizeof buffer)) > 0;) bytes.append(buffer, static_cast<size_t>(got));
  return bytes;
}

TEST(ProgressLine, ShowsOnlyOnATerminalAndOnlyAfterASecond) {
  int pipes[2];
  ASSERT_EQ(pipe2(pipes, O_NONBLOCK), 0);
  ShowProgressOn(pipes[1]);
  EXPECT_EQ(ReadAll(pipes[0]), "");
  close(pipes[0]);
  close(pipes[1]);

  int terminal = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(terminal, 0);
  ASSERT_EQ(grantpt(terminal), 0);
  ASSERT_EQ(unlockpt(terminal), 0);
  int side = open(ptsname(terminal), O_RDWR | O_NOCTTY);
  ASSERT_GE(side, 0);
  ShowProgressOn(side);
  fcntl(terminal, F_SETFL, O_NONBLOCK);
  std::string shown = ReadAll(terminal);
  close(side);
  close(terminal);
  EXPECT_EQ(shown.find("hashing 3 of 12"), std::string::npos) << "drawn within the first second: " << shown;
  EXPECT_NE(shown.find("\rhashing 12 of 12"), std::string::npos) << shown;
  EXPECT_EQ(shown.substr(shown.size() - 1), "\r") << "cleared at the end";
}

}  // namespace
}  // namespace nimbora
