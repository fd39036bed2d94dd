#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "support/device_fixture.h"
#include "support/draw_log.h"

namespace nimbora {
namespace {

struct Outcome {
  int status;
  std::string output;  // stdout and stderr together
  std::vector<LogEntry> log;
};

class NimboraUpdateTest : public DeviceFixture {
 protected:
  void SetUp() override {
    DeviceFixture::SetUp();
    MakeHostDirectory("device/ResidentFlash/Nimbora");
    WriteHostFile("device/ResidentFlash/Nimbora/main.ini", "[Main]\nVersion=1.2.3\n");
  }
  Outcome Run(const std::string& arguments) {
    std::string command = std::string(NIMBORA_BINARY_DIR "/src/programs/nimbora-update") +
                          " --draw-log '" + HostPath("draw.log") + "' " + arguments + " >'" +
                          HostPath("output") + "' 2>&1";
    int status = std::system(command.c_str());
    return Outcome{WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadHostFile("output"),
                   ReadDrawLog(HostPath("draw.log"))};
  }
  // The operations of a log, separated by blanks.
  static std::string Ops(const std::vector<LogEntry>& log) {
    std::string ops;
    for (const LogEntry& entry : log) {
      ops += (ops.empty() ? "" : " ") + entry["op"].get<std::string>();
    }
    return ops;
  }
  std::string Device() { return "--root '" + HostPath("device") + "' --headless --virtual-clock "; }
};

struct UsageCase {
  const char* name;
  const char* arguments;
  const char* message;
};

class NimboraUpdateUsageTest : public NimboraUpdateTest,
                               public ::testing::WithParamInterface<UsageCase> {};

TEST_P(NimboraUpdateUsageTest, WrongUsageIsExplainedWithStatus2) {
  Outcome outcome = Run(GetParam().arguments);
  EXPECT_EQ(outcome.status, 2);
  EXPECT_NE(outcome.output.find(GetParam().message), std::string::npos) << outcome.output;
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, NimboraUpdateUsageTest,
    ::testing::Values(UsageCase{"UnknownOption", "--fast", "unknown option --fast"},
                      UsageCase{"MissingValue", "--headless --keys", "--keys needs a value"},
                      UsageCase{"MissingRoot", "--headless --root /nonexistent/device",
                                "/nonexistent/device is not a directory"},
                      UsageCase{"UnknownKey", "--headless --keys f1", "unknown key 'f1'"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(NimboraUpdateTest, HelpShowsTheUsage) {
  for (const char* asks : {"--help", "-h", "--headless -h"}) {
    Outcome outcome = Run(asks);
    EXPECT_EQ(outcome.status, 0) << asks;
    EXPECT_EQ(outcome.output.rfind("usage: nimbora-update", 0), 0u) << outcome.output;
  }
}

// The words joined by blanks are the whole command line, so a trailing blank
// makes the status word unknown and the application starts at once.
TEST_F(NimboraUpdateTest, WordsFormTheCommandLine) {
  Outcome none = Run(Device() + "-- 'SUCCESS '");
  EXPECT_EQ(none.status, 0);
  // There is no application to start: the launch fails and says so.
  EXPECT_EQ(Ops(none.log), "fill fill text text text launch fill text sleep post exit");

  Outcome success = Run(Device() + "--keys enter SUCCESS");
  EXPECT_EQ(success.status, 0);
  ASSERT_GE(success.log.size(), 4u);
  EXPECT_EQ(success.log[1]["text"], "Successfully updated the files.");
  EXPECT_EQ(success.log[3], LogEntry::parse(R"({"t":0,"op":"key","vk":13})"));
  EXPECT_EQ(success.log.back(), LogEntry::parse(R"({"t":10000,"op":"exit","code":0})"));
}

// The run ends through the program's own end: the log is complete.
TEST_F(NimboraUpdateTest, AHeadlessKeyWaitWithoutKeysEndsWithStatus3) {
  Outcome outcome = Run(Device() + "FAILURE");
  EXPECT_EQ(outcome.status, 3);
  EXPECT_EQ(outcome.output,
            "waiting for a key press, but no key is left to press (see --keys)\n");
  EXPECT_EQ(Ops(outcome.log), "fill text text exit");
  EXPECT_EQ(outcome.log[1]["text"], "Failed to update the files.");
  EXPECT_EQ(outcome.log.back()["code"], 3);
}

}  // namespace
}  // namespace nimbora
