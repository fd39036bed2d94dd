#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/shell.h"
#include "platform_host/host_session_test_support.h"

namespace nimbora {
namespace {

namespace fs = std::filesystem;

class HostShellTest : public HostSessionTest {
 protected:
  void WriteProgram(const std::string& relative, const std::string& text, fs::perms permissions) {
    fs::path path = dir + "/" + relative;
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
  std::string directory = fs::canonical(dir + "/ResidentFlash/Nimbora").string();
  EXPECT_EQ(WaitForReport(dir + "/ResidentFlash/Nimbora/report"), directory + "\n0\n");
  EXPECT_EQ(LogLines().back(),
            R"({"t":0,"op":"launch","path":"\\RESIDENTFLASH\\nimbora\\Nimbora.EXE","ok":true})");
}

TEST_F(HostShellTest, WhatIsNotARegularExecutableFailsToStart) {
  WriteProgram("plain/Nimbora.exe", "#!/bin/sh\ntouch started\n",
               fs::perms::owner_read | fs::perms::owner_write);
  fs::create_directories(dir + "/folder/Nimbora.exe");
  for (const char16_t* path : {u"\\plain\\Nimbora.exe", u"\\folder\\Nimbora.exe",
                               u"\\missing\\Nimbora.exe", u"\\", u"\\..\\..\\bin\\true"}) {
    EXPECT_EQ(Start(path), 0);
    EXPECT_NE(LogLines().back().find(R"("ok":false)"), std::string::npos);
  }
  EXPECT_FALSE(fs::exists(dir + "/plain/started"));
}

}  // namespace
}  // namespace nimbora
