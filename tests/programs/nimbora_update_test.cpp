#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "support/device_fixture.h"

namespace nimbora {
namespace {

struct Outcome {
  int status;
  std::string output;  // stdout and stderr together
  std::string log;     // the draw log
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
                   HostExists("draw.log") ? ReadHostFile("draw.log") : ""};
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
  Outcome outcome = Run("--help");
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.output.rfind("usage: nimbora-update", 0), 0u);
}

// The words joined by blanks are the whole command line, so a trailing blank
// makes the status word unknown and the application starts at once.
TEST_F(NimboraUpdateTest, WordsFormTheCommandLine) {
  Outcome none = Run(Device() + "-- 'SUCCESS '");
  EXPECT_EQ(none.status, 0);
  EXPECT_EQ(none.log.find("Successfully"), std::string::npos);
  EXPECT_NE(none.log.find(R"("op":"launch")"), std::string::npos);

  Outcome success = Run(Device() + "--keys enter SUCCESS");
  EXPECT_EQ(success.status, 0);
  EXPECT_LT(success.log.find("Successfully"), success.log.find(R"("op":"key","vk":13)"));
  EXPECT_NE(success.log.find(R"({"t":10000,"op":"exit","code":0})"), std::string::npos);
}

TEST_F(NimboraUpdateTest, AHeadlessKeyWaitWithoutKeysEndsWithStatus3) {
  Outcome outcome = Run(Device() + "FAILURE");
  EXPECT_EQ(outcome.status, 3);
  EXPECT_NE(outcome.output.find("no key is left"), std::string::npos) << outcome.output;
  EXPECT_NE(outcome.log.find("Failed to update the files."), std::string::npos);
  EXPECT_NE(outcome.log.find(R"("op":"exit","code":3)"), std::string::npos);
}

}  // namespace
}  // namespace nimbora
