// The command lines of the three host programs: what people expect of any
// program (--help, --version, --option=value, --) and clear refusals.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "support/device_fixture.h"

namespace nimbora {
namespace {

const std::string kPrograms = NIMBORA_BINARY_DIR "/src/programs/";
// The summary command, as people type it.
const std::string kSummary = "inspect";

struct Outcome {
  int status;
  std::string output;
  std::string errors;
};

class ProgramCommandLineTest : public DeviceFixture {
 protected:
  void SetUp() override {
    DeviceFixture::SetUp();
    WriteHostFile("device/ResidentFlash/Nimbora/main.ini", "[Main]\r\nVersion=1.0.0\r\n");
    WriteHostFile("device/ResidentFlash/Nimbora/a.txt", "old");
    WriteHostFile("--pkg/update.ini", "[Main]\r\nVersion=1.0.1\r\nUpdate=1\r\n[Update]\r\nfile1=a.txt\r\n");
    WriteHostFile("--pkg/a.txt", "new");
    WriteHostFile("--help", "[Main]\r\nVersion=1.2.3\r\n");
  }
  // Runs from the root, so relative paths name what SetUp wrote.
  Outcome Run(const std::string& program, const std::string& arguments) {
    std::string command = "cd '" + root + "' && " + kPrograms + program + " " + arguments + " >'" +
                          HostPath("out.txt") + "' 2>'" + HostPath("err.txt") + "'";
    int status = std::system(command.c_str());
    return Outcome{WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadHostFile("out.txt"), ReadHostFile("err.txt")};
  }
};

TEST_F(ProgramCommandLineTest, HelpVersionEqualsAndDoubleDash) {
  struct Case {
    const char* program;
    std::string arguments;
    int status;
    std::string output;  // what stdout begins with
    std::string sameAs;  // arguments that print the same, or empty
  } cases[] = {
      {"nimbora-package", "--help", 0, "usage: nimbora-package COMMAND", ""},
      {"nimbora-package", "check -h", 0, "usage: nimbora-package check", ""},
      {"nimbora-package", "--version", 0, "nimbora-package " NIMBORA_VERSION "\n", ""},
      {"nimbora-package", kSummary + " --version", 0, "nimbora-package " NIMBORA_VERSION "\n", ""},
      {"nimbora-package", "check --json --device=device ./--pkg", 0, "{", "check --json --device device ./--pkg"},
      {"nimbora-package", kSummary + " --json -- --pkg", 0, "{", kSummary + " ./--pkg --json"},
      {"nimbora-update", "--help", 0, "usage: nimbora-update", ""},
      {"nimbora-update", "--version", 0, "nimbora-update " NIMBORA_VERSION "\n", ""},
      // Without the key the run waits for one that never comes (3).
      {"nimbora-update", "--root=device --headless --virtual-clock --keys=space FAILURE", 0, "",
       "--root device --headless --virtual-clock --keys space FAILURE"},
      {"nimbora-update", "--root device --headless --virtual-clock -- --help", 0, "", ""},
      {"nimbora-profile", "--help", 0, "usage: nimbora-profile", ""},
      {"nimbora-profile", "--version", 0, "nimbora-profile " NIMBORA_VERSION "\n", ""},
      {"nimbora-profile", "get --help Main Absent --default=a=b --capacity=2", 0, "usage: nimbora-profile", ""},
      {"nimbora-profile", "get -- --help Main Absent --default=a=b --capacity=2", 0, "a\n",
       "get -- --help Main Absent --default a=b --capacity 2"},
      {"nimbora-profile", "get -- --help Main Version", 0, "1.2.3\n", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.program) + " " + c.arguments);
    Outcome outcome = Run(c.program, c.arguments);
    EXPECT_EQ(outcome.status, c.status) << outcome.errors;
    EXPECT_EQ(outcome.output.rfind(c.output, 0), 0u) << outcome.output;
    if (c.output.empty()) {
      EXPECT_EQ(outcome.output, "");
    }
    if (c.sameAs.empty()) continue;
    Outcome same = Run(c.program, c.sameAs);
    EXPECT_EQ(same.status, outcome.status);
    EXPECT_EQ(same.output, outcome.output);
  }
}

TEST_F(ProgramCommandLineTest, RefusalsSayWhyWithStatus2) {
  WriteHostFile("empty/readme.txt", "no package");
  WriteHostFile("not-a-font.ttf", "plain text");
  struct Case {
    const char* program;
    std::string arguments;
    const char* message;
  } cases[] = {
      {"nimbora-package", "make --from device/ResidentFlash/Nimbora --to --pkg --version 1.0.1 -- --pkg/out",
       "--pkg/out is inside --to --pkg"},
      {"nimbora-package", "make --from device/ResidentFlash/Nimbora --to --pkg --version 1.0.1 device/x/../ResidentFlash/Nimbora",
       "is inside --from device/ResidentFlash/Nimbora"},
      {"nimbora-package", "check --device device/ResidentFlash/Nimbora ./--pkg",
       "has no ResidentFlash/Nimbora; --device takes the device's root, not the application directory"},
      {"nimbora-package", "preview --device empty --out screens ./--pkg", "empty has no ResidentFlash/Nimbora\n"},
      {"nimbora-package", "check --device device empty", "empty: update.ini not found"},
      {"nimbora-package", "preview --device device --out screens empty", "empty: update.ini not found"},
      {"nimbora-package", kSummary + " --json empty", "empty: update.ini not found"},
      {"nimbora-package", "check --device device --font not-a-font.ttf ./--pkg", "FreeType cannot load it"},
      {"nimbora-package", kSummary + " --json=yes ./--pkg", "--json takes no value"},
      {"nimbora-update", "--headless=yes", "--headless takes no value"},
      {"nimbora-profile", "get main.ini Main Version --capacity=0", "usage: nimbora-profile"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.program) + " " + c.arguments);
    Outcome outcome = Run(c.program, c.arguments);
    EXPECT_EQ(outcome.status, 2);
    EXPECT_NE(outcome.errors.find(c.message), std::string::npos) << outcome.errors;
  }
  EXPECT_FALSE(HostExists("--pkg/out"));
}

}  // namespace
}  // namespace nimbora
