// nimbora-profile run as a program over host files.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/device_fixture.h"

namespace nimbora {
namespace {

struct ToolRun {
  int exitCode;
  std::string output;
};

std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

class ProfileToolTest : public DeviceFixture {
 protected:
  // Runs the tool from the device root, so relative paths name files there.
  ToolRun Tool(const std::vector<std::string>& arguments) {
    std::string command = "cd " + Quoted(root) + " && " NIMBORA_BINARY_DIR "/src/programs/nimbora-profile";
    for (const std::string& argument : arguments) command += " " + Quoted(argument);
    command += " 2>" + Quoted(HostPath("stderr.txt"));
    FILE* pipe = popen(command.c_str(), "r");
    EXPECT_NE(pipe, nullptr);
    std::string output;
    char buffer[256];
    while (size_t count = std::fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, count);
    int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
  }
};

TEST_F(ProfileToolTest, GetDeliversAsTheReader) {
  WriteHostFile("main.ini", "[Main]\r\nVersion=1.2.3\r\nTitle=Gr\xC3\xB6\xC3\x9F" "e\r\n");
  std::string file = HostPath("main.ini");
  struct Case {
    std::vector<std::string> arguments;
    std::string output;
  } cases[] = {
      {{"get", file, "main", "version"}, "1.2.3\n"},
      {{"get", "main.ini", "Main", "Version"}, "1.2.3\n"},
      {{"get", file, "Main", "Title"}, "Gr\xC3\xB6\xC3\x9F" "e\n"},
      {{"get", file, "Main", "Absent"}, "\n"},
      {{"get", file, "Main", "Absent", "--default", "1.0.0"}, "1.0.0\n"},
      {{"get", file, "Main", "Version", "--capacity", "3"}, "1.\n"},
      {{"get", HostPath("absent.ini"), "Main", "Version", "--default", "x"}, "x\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments[1] + " " + c.arguments[3]);
    ToolRun run = Tool(c.arguments);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output, c.output);
  }
}

TEST_F(ProfileToolTest, SetAndDeleteChangeTheFile) {
  std::string file = HostPath("main.ini");
  EXPECT_EQ(Tool({"set", file, "Main", "Version", "1.2.4"}).exitCode, 0);
  EXPECT_EQ(Tool({"set", file, "Main", "Title", "x y"}).exitCode, 0);
  EXPECT_EQ(Tool({"set", file, "Option", "Langue", "en"}).exitCode, 0);
  EXPECT_EQ(ReadHostFile("main.ini"),
            "\r\n[Main]\r\nVersion=1.2.4\r\nTitle=x y\r\n\r\n[Option]\r\nLangue=en\r\n");
  EXPECT_EQ(Tool({"delete", file, "Main", "Version"}).exitCode, 0);
  EXPECT_EQ(Tool({"delete", file, "Option"}).exitCode, 0);
  EXPECT_EQ(ReadHostFile("main.ini"), "\r\n[Main]\r\nTitle=x y\r\n\r\n");
  EXPECT_EQ(Tool({"set", HostPath("absent/main.ini"), "Main", "Version", "1"}).exitCode, 1);
}

TEST_F(ProfileToolTest, HelpGoesToStandardOutput) {
  const std::vector<std::string> asks[] = {{"--help"}, {"-h"}, {"get", "--help"}, {"set", "-h"}};
  for (const std::vector<std::string>& arguments : asks) {
    ToolRun run = Tool(arguments);
    EXPECT_EQ(run.exitCode, 0) << arguments.back();
    EXPECT_EQ(run.output.rfind("usage: nimbora-profile get", 0), 0u) << run.output;
  }
}

TEST_F(ProfileToolTest, WrongUsageExitsTwo) {
  const std::vector<std::string> wrong[] = {
      {},
      {"get", "main.ini", "Main"},
      {"read", "main.ini", "Main", "Version"},
      {"get", "main.ini", "Main", "Version", "--default"},
      {"get", "main.ini", "Main", "Version", "--colour", "red"},
      {"get", "main.ini", "Main", "Version", "--capacity", "0"},
      {"get", "main.ini", "Main", "Version", "--capacity", "-1"},
      {"get", "main.ini", "Main", "Version", "--capacity", "12abc"},
      {"get", "main.ini", "Main", "Version", "--capacity", "99999999999999999999"},
      {"set", "main.ini", "Main", "Version"},
      {"set", "main.ini", "Main", "Version", "1", "2"},
      {"delete", "main.ini", "Main", "Version", "1"},
  };
  for (const std::vector<std::string>& arguments : wrong) {
    SCOPED_TRACE(arguments.size());
    ToolRun run = Tool(arguments);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.output, "");
    EXPECT_NE(ReadHostFile("stderr.txt").find("usage"), std::string::npos);
  }
  EXPECT_FALSE(HostExists("main.ini"));
}

}  // namespace
}  // namespace nimbora
