// Black-box runs of nimbora-update over device trees in a temporary directory.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/draw_log.h"

namespace {

using nimbora::LogEntry;

namespace fs = std::filesystem;

const std::string kApp = "ResidentFlash/Nimbora/";
const std::string kCard = "Storage Card/Update Nimbora/";
const std::string kFlash = "ResidentFlash/Update Nimbora/";

const char* kInstalled = "[Main]\r\nVersion=1.2.3\r\nUpdate Time=2013-08-16 7:30:00\r\n";
const char* kStandIn = "#!/bin/sh\necho started >> started.log\n";

struct File {
  std::string path;  // relative to the device root
  std::string content;
};

struct Scenario {
  const char* name;
  std::vector<File> files;
  std::string words;            // command-line words after "--"
  std::string keys;             // --keys
  std::vector<std::string> drawn;      // texts the draw log must show, in order
  std::vector<std::string> notDrawn;   // texts it must not show
  std::string mainIni;          // expected main.ini afterwards ("" = unchanged)
  std::vector<std::string> present;    // paths that must exist afterwards
  std::vector<std::string> absent;     // paths that must not exist afterwards
  bool launched;                // the stand-in application ran
};

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void Write(const fs::path& path, const std::string& content) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << content;
  if (path.filename() == "Nimbora.exe") {
    fs::permissions(path, fs::perms::owner_all, fs::perm_options::add);
  }
}

class UpdateRun : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() /
            ("nimbora-e2e-" + std::to_string(getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    fs::create_directories(root_);
  }
  void TearDown() override { fs::remove_all(root_); }

  // Runs the program; returns its exit status and fills in the draw log.
  int Run(const std::string& words, const std::string& keys, std::vector<LogEntry>* log) {
    fs::path logPath = root_ / "draw.log";
    fs::remove(logPath);
    // A relative root, as a user types it; the started program must still be found.
    std::string command = "cd '" + root_.string() + "' && " + NIMBORA_BINARY_DIR +
                          "/src/programs/nimbora-update --root device --headless "
                          "--virtual-clock --draw-log draw.log";
    if (!keys.empty()) command += " --keys " + keys;
    command += " -- " + words + " 2>/dev/null";
    int status = std::system(command.c_str());
    *log = nimbora::ReadDrawLog(logPath.string());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  fs::path Device(const std::string& relative) const { return root_ / "device" / relative; }

  fs::path root_;
};

bool Drew(const std::vector<LogEntry>& log, const std::string& text, size_t* from) {
  for (size_t i = *from; i < log.size(); ++i) {
    if (log[i]["op"] == "text" && log[i]["text"] == text) {
      *from = i + 1;
      return true;
    }
  }
  return false;
}

// The application is started without waiting for it, so give it a moment.
bool Started(const fs::path& log) {
  for (int i = 0; i < 200 && !fs::exists(log); ++i) usleep(10000);
  return fs::exists(log);
}

bool Launched(const std::vector<LogEntry>& log) {
  for (const LogEntry& entry : log) {
    if (entry["op"] == "launch") return entry["ok"] == true;
  }
  return false;
}

std::vector<File> WithApplication(std::vector<File> files) {
  files.push_back({kApp + "main.ini", kInstalled});
  files.push_back({kApp + "Nimbora.exe", kStandIn});
  return files;
}

const char* kCardDescription =
    "[Main]\r\nVersion=1.2.4\r\nUpdate Time=2013-09-01 8:00:00\r\nUpdate=1\r\nDelete=1\r\n"
    "[Delete]\r\nfile1=old.txt\r\n[Update]\r\nfile1=maps\\alps\\relief.map\r\n";

std::vector<Scenario> Scenarios() {
  const std::string recorded124 =
      "[Main]\r\nVersion=1.2.4\r\nUpdate Time=2013-09-01 8:00:00\r\n";
  return {
      {"CardPackageApplied",
       WithApplication({{kCard + "update.ini", kCardDescription},
                        {kCard + "maps/alps/relief.map", "relief"},
                        {kApp + "old.txt", "old"}}),
       "", "space",
       {"Update the files ...", "Successfully updated the files.",
        "Press any key to continue ...", "Starting ..."},
       {},
       recorded124,
       {kApp + "maps/alps/relief.map", kCard + "update.ini"},
       {kApp + "old.txt"},
       true},
      {"FlashPackageWithFailingCopy",
       WithApplication({{kFlash + "update.ini",
                         "[Main]\r\nVersion=1.3.0\r\nUpdate=2\r\n[Update]\r\nfile1=a.txt\r\n"
                         "file2=missing.txt\r\n"},
                        {kFlash + "a.txt", "a"}}),
       "", "space",
       {"Update the files ...", "Failed to update the files.", "Press any key to continue ..."},
       {"Successfully updated the files."},
       "[Main]\r\nVersion=1.3.0\r\nUpdate Time=2013-08-16 7:30:00\r\n",
       {kApp + "a.txt"},
       {"ResidentFlash/Update Nimbora"},
       true},
      {"SameVersionLaterTimeWithInstructions",
       WithApplication({{kCard + "update.ini",
                         "[Main]\r\nVersion=1.2.3\r\nUpdate Time=2013-08-17 0:00:00\r\n"
                         "Update=all\r\n"},
                        {kCard + "extra.txt", "x"}}),
       "", "space",
       {"Update the files ...", "Successfully updated the files."},
       {},
       "[Main]\r\nVersion=1.2.3\r\nUpdate Time=2013-08-17 0:00:00\r\n",
       {kApp + "extra.txt", kApp + "update.ini"},
       {},
       true},
      {"SameVersionLaterTimeWithoutInstructions",
       WithApplication({{kCard + "update.ini",
                         "[Main]\r\nVersion=1.2.3\r\nUpdate Time=2013-08-17 0:00:00\r\n"},
                        {kCard + "extra.txt", "x"}}),
       "", "",
       {"Starting ..."},
       {"Update the files ..."},
       "",
       {},
       {kApp + "extra.txt"},
       true},
      {"NoPackageSuccessWord", WithApplication({}), "SUCCESS", "space",
       {"Successfully updated the files.", "Press any key to continue ...", "Starting ..."},
       {"Update the files ..."}, "", {}, {}, true},
      {"NoPackageFailureWord", WithApplication({}), "failure", "space",
       {"Failed to update the files.", "Press any key to continue ...", "Starting ..."},
       {"Update the files ..."}, "", {}, {}, true},
      {"NoPackageNoWord", WithApplication({}), "", "",
       {"Starting ..."},
       {"Press any key to continue ...", "Successfully updated the files."}, "", {}, {}, true},
      {"DeleteAllKeepsDatabase",
       WithApplication({{kCard + "update.ini",
                         "[Main]\r\nVersion=2.0.0\r\nDelete=all\r\nUpdate=all\r\n"},
                        {kCard + "Nimbora.exe", kStandIn},
                        {kApp + "Database/Param.dat", "p"},
                        {kApp + "Database/log.db", "l"},
                        {kApp + "skins/day.skin", "d"}}),
       "", "space",
       {"Update the files ...", "Successfully updated the files."},
       {},
       "\r\n[Main]\r\nVersion=2.0.0\r\n",
       {kApp + "Database/Param.dat", kApp + "Database/log.db", kApp + "Nimbora.exe"},
       {kApp + "skins"},
       true},
      {"LaunchFails", {{kApp + "main.ini", kInstalled}}, "", "",
       {"Starting ...", "Can't open the application software!"}, {}, "", {}, {}, false},
  };
}

TEST_F(UpdateRun, Scenarios) {
  for (const Scenario& scenario : Scenarios()) {
    SCOPED_TRACE(scenario.name);
    fs::remove_all(root_ / "device");
    for (const File& file : scenario.files) Write(Device(file.path), file.content);
    std::string installedBefore = Read(Device(kApp + "main.ini"));

    std::vector<LogEntry> log;
    EXPECT_EQ(Run(scenario.words, scenario.keys, &log), 0);

    size_t from = 0;
    for (const std::string& text : scenario.drawn) EXPECT_TRUE(Drew(log, text, &from)) << text;
    for (const std::string& text : scenario.notDrawn) {
      size_t start = 0;
      EXPECT_FALSE(Drew(log, text, &start)) << text;
    }
    EXPECT_EQ(Read(Device(kApp + "main.ini")),
              scenario.mainIni.empty() ? installedBefore : scenario.mainIni);
    for (const std::string& path : scenario.present) EXPECT_TRUE(fs::exists(Device(path))) << path;
    for (const std::string& path : scenario.absent) EXPECT_FALSE(fs::exists(Device(path))) << path;
    EXPECT_EQ(Launched(log), scenario.launched);
    fs::path started = Device(kApp + "started.log");
    EXPECT_EQ(scenario.launched ? Started(started) : fs::exists(started), scenario.launched);
  }
}

TEST_F(UpdateRun, AnAppliedCardPackageIsNotAppliedOnTheNextStart) {
  for (const File& file : WithApplication({{kCard + "update.ini", kCardDescription},
                                           {kCard + "maps/alps/relief.map", "relief"}})) {
    Write(Device(file.path), file.content);
  }
  std::vector<LogEntry> log;
  ASSERT_EQ(Run("", "space", &log), 0);
  ASSERT_EQ(Run("", "", &log), 0);
  size_t from = 0;
  EXPECT_FALSE(Drew(log, "Update the files ...", &from));
  from = 0;
  EXPECT_TRUE(Drew(log, "Starting ...", &from));
  EXPECT_TRUE(Launched(log));
}

TEST_F(UpdateRun, WaitingForAKeyWithNoneQueuedEndsWithStatus3) {
  for (const File& file : WithApplication({})) Write(Device(file.path), file.content);
  std::vector<LogEntry> log;
  EXPECT_EQ(Run("SUCCESS", "", &log), 3);
  EXPECT_FALSE(fs::exists(Device(kApp + "started.log")));
}

}  // namespace
