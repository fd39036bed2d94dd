#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "control/main_window.h"
#include "platform/host/host_platform.h"
#include "support/host_session_fixture.h"

namespace nimbora {
namespace {

class EventLoopTest : public HostSessionTest {
 protected:
  void SetUp() override {
    HostSessionTest::SetUp();
    InstallApplication();
    WriteMainIni("[Main]\nVersion=1.2.3\n");
  }
  int Run(const char16_t* commandLine) { return ProgramEntry(nullptr, commandLine, 5); }
  // Each event as "op" or "op:value" for keys, commands and launches.
  std::vector<std::string> Events() const {
    std::vector<std::string> events;
    for (const LogEntry& entry : Log()) {
      std::string name = entry["op"];
      if (name == "key") name += ":" + entry["vk"].dump();
      if (name == "command") name += ":" + entry["id"].dump();
      if (name == "text") name += ":" + entry["text"].get<std::string>().substr(0, 12);
      events.push_back(name);
    }
    return events;
  }
};

TEST_F(EventLoopTest, WithoutStatusOrPackageTheApplicationStartsAtOnce) {
  HostPressKey('A', false);
  EXPECT_EQ(Run(u""), 0);
  std::vector<std::string> expected{"fill", "fill", "text:KT4200    43", "text:Version 1.2.",
                                    "text:Starting ...", "launch", "sleep", "post"};
  EXPECT_EQ(Events(), expected);  // the run drew nothing; the key came too late
  MainWindowProc(OpenWindow(), kMessageKeyDown, 'A', 1);
  EXPECT_EQ(Events(), expected);  // nothing waits for a key
}

TEST_F(EventLoopTest, AKeyPressedDuringTheRunStartsTheApplicationOnceTheLoopRuns) {
  HostPressKey('A', false);
  HostPressKey('B', false);
  EXPECT_EQ(Run(u"SUCCESS"), 0);
  std::vector<std::string> expected{"fill",
                                    "text:Successfully",
                                    "text:Press any ke",
                                    "key:65",
                                    "fill",
                                    "fill",
                                    "text:KT4200    43",
                                    "text:Version 1.2.",
                                    "text:Starting ...",
                                    "launch",
                                    "sleep",
                                    "post"};
  EXPECT_EQ(Events(), expected);  // "B" never starts it again
}

TEST_F(EventLoopTest, ControlKeyDownIsAKeyPressButControlLettersAreCommands) {
  Restart("ctrl+q");
  EXPECT_EQ(Run(u"FAILURE"), 0);
  std::vector<std::string> events = Events();
  ASSERT_GE(events.size(), 4u);
  EXPECT_EQ(events[1], "text:Failed to up");
  EXPECT_EQ(events[3], "key:17");
  EXPECT_EQ(std::count(events.begin(), events.end(), "launch"), 1);
  EXPECT_EQ(std::count(events.begin(), events.end(), "key:81"), 0);
}

TEST_F(EventLoopTest, OnlyTheFirstKeyPressWhileWaitingStartsTheApplication) {
  EXPECT_EQ(Run(u"FAILURE"), 3);  // the result waits for a key, and none is left
  size_t drawn = Log().size();
  Window* window = nullptr;  // the messages' own window plays no part here
  EXPECT_EQ(MainWindowProc(window, kMessageCommand, 0x10000 | 40002, 0), 0);
  EXPECT_EQ(MainWindowProc(window, kMessageCommand, 0x10000 | 1, 0), 0);
  EXPECT_EQ(Log().size(), drawn);  // commands neither start it nor end the wait
  EXPECT_EQ(MainWindowProc(window, kMessageKeyDown, 'A', 1), 0);
  EXPECT_EQ(Log("launch").size(), 1u);
  EXPECT_EQ(MainWindowProc(window, kMessageKeyDown, 'B', 1), 0);
  EXPECT_EQ(Log("launch").size(), 1u);
}

TEST_F(EventLoopTest, AFailedWindowCreationEndsWithZeroAndNoRun) {
  Window* window = OpenWindow();  // the panel's one window is taken
  EXPECT_EQ(Run(u"SUCCESS"), 0);
  EXPECT_TRUE(Log().empty());
  MainWindowProc(window, kMessageKeyDown, 'A', 1);
  EXPECT_TRUE(Log().empty());  // nothing waits for a key
  EXPECT_EQ(ReadHostFile("ResidentFlash/Nimbora/main.ini"), "[Main]\nVersion=1.2.3\n");
}

}  // namespace
}  // namespace nimbora
