#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/shell.h"
#include "support/host_session_fixture.h"

namespace nimbora {
namespace {

namespace fs = std::filesystem;

class HostShellTest : public HostSessionTest {
 protected:
  void WriteProgram(const std::string& relative, const std::string& text, fs::perms permissions) {
    fs::path path = HostPath(relative);
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
    fs::permissions(path, permissions);
  }
  int Start(const char16_t* devicePath) {
    ExecuteRequest request{};
    request.size = 60;
    request.mask = kExecuteNoErrorDialog;
    request.file = devicePath;
    request.parameters = u"";
    request.show = kShowNormal;
    return StartProgram(&request);
  }
  // What the started program wrote, once it has written both lines.
  std::string WaitForReport(const std::string& path) {
    for (int i = 0; i < 500; ++i) {
      std::ifstream in(path);
      std::stringstream buffer;
      buffer << in.rdbuf();
      std::string text = buffer.str();
      if (std::count(text.begin(), text.end(), '\n') == 2) return text;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return "(no report)";
  }
};

// Found in any letter case, as the device's file system finds it.
TEST_F(HostShellTest, AnExecutableStartsInItsDirectoryWithoutArguments) {
  WriteProgram("ResidentFlash/Nimbora/Nimbora.exe",
               "#!/bin/sh\npwd > report.tmp\necho $# >> report.tmp\nmv report.tmp report\n",
               fs::perms::owner_all);
  EXPECT_EQ(Start(u"\\RESIDENTFLASH\\nimbora\\Nimbora.EXE"), 1);
  std::string directory = fs::canonical(HostPath("ResidentFlash/Nimbora")).string();
  EXPECT_EQ(WaitForReport(HostPath("ResidentFlash/Nimbora/report")), directory + "\n0\n");
  LogEntry expected{
      {"t", 0}, {"op", "launch"}, {"path", "\\RESIDENTFLASH\\nimbora\\Nimbora.EXE"}, {"ok", true}};
  EXPECT_EQ(Log().back(), expected);
}

TEST_F(HostShellTest, WhatIsNotARegularExecutableFailsToStart) {
  WriteProgram("plain/Nimbora.exe", "#!/bin/sh\ntouch started\n",
               fs::perms::owner_read | fs::perms::owner_write);
  fs::create_directories(HostPath("folder/Nimbora.exe"));
  for (const char16_t* path : {u"\\plain\\Nimbora.exe", u"\\folder\\Nimbora.exe",
                               u"\\missing\\Nimbora.exe", u"\\", u"\\..\\..\\bin\\true"}) {
    EXPECT_EQ(Start(path), 0);
    EXPECT_EQ(Log().back()["ok"], false);
  }
  EXPECT_FALSE(fs::exists(HostPath("plain/started")));
}

}  // namespace
}  // namespace nimbora
