#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "display/application_launch.h"
#include "platform/host/host_platform.h"
#include "support/host_session_fixture.h"

namespace nimbora {
namespace {

struct FooterCase {
  const char* name;
  const char* mainIni;  // nullptr: no main.ini
  const char* left;     // the station footer
  const char* right;    // the version footer
};

class LaunchFooterTest : public HostSessionTest, public ::testing::WithParamInterface<FooterCase> {};

TEST_P(LaunchFooterTest, FooterShowsTitleFrequencyAndInstalledVersion) {
  InstallApplication();
  if (GetParam().mainIni != nullptr) WriteMainIni(GetParam().mainIni);
  LaunchApplication(OpenWindow());
  std::vector<std::string> expected{std::string(GetParam().left) + "|456|0|0",
                                    std::string(GetParam().right) + "|456|2|0",
                                    "Starting ...|200|1|32"};
  EXPECT_EQ(DrawnTexts(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    MainIni, LaunchFooterTest,
    ::testing::Values(
        FooterCase{"NoMainIni", nullptr, "KT4200    433MHz", "Version 1.0.0"},
        FooterCase{"Frequency868", "[Option]\nFrequency=868M\n", "KT4200    868MHz",
                   "Version 1.0.0"},
        FooterCase{"Frequency915", "[Option]\nFrequency=915M\n", "KT4200    915MHz",
                   "Version 1.0.0"},
        FooterCase{"Frequency915LowerCase", "[Option]\nFrequency=915m\n", "KT4200    915MHz",
                   "Version 1.0.0"},
        FooterCase{"FrequencyWithUnit", "[Option]\nFrequency=915MHz\n", "KT4200    433MHz",
                   "Version 1.0.0"},
        FooterCase{"FrequencyEmpty", "[Option]\nFrequency=\n", "KT4200    433MHz", "Version 1.0.0"},
        FooterCase{"Title24Characters", "[Main]\nTitle=ABCDEFGHIJKLMNOPQRSTUVWX\n",
                   "ABCDEFGHIJKLMNOPQRSTUVWX    433MHz", "Version 1.0.0"},
        FooterCase{"TitleLongerThan24", "[Main]\nTitle=ABCDEFGHIJKLMNOPQRSTUVWXYZ\n",
                   "ABCDEFGHIJKLMNOPQRSTUVWX    433MHz", "Version 1.0.0"},
        FooterCase{"VersionTooShort", "[Main]\nVersion=2.0\n", "KT4200    433MHz", "Version 0.0.0"},
        FooterCase{"Version", "[Main]\nVersion=1.2.3\nTitle=Ridge\n", "Ridge    433MHz",
                   "Version 1.2.3"}),
    [](const auto& info) { return std::string(info.param.name); });

using LaunchTest = HostSessionTest;

TEST_F(LaunchTest, TheScreenIsBlankedTheApplicationStartedAndTheWindowClosedAfterTenSeconds) {
  InstallApplication();
  Window* window = OpenWindow();
  LaunchApplication(window);
  std::vector<std::string> ops;
  std::vector<uint64_t> times;
  for (const LogEntry& entry : Log()) {
    ops.push_back(entry["op"]);
    times.push_back(entry["t"]);
  }
  std::vector<std::string> expected{"fill", "fill",   "text",  "text",
                                    "text", "launch", "sleep", "post"};
  EXPECT_EQ(ops, expected);
  EXPECT_EQ(times, (std::vector<uint64_t>{0, 0, 0, 0, 0, 0, 0, 10000}));
  EXPECT_EQ(Log("fill")[0]["rect"], LogEntry({20, 300, 780, 340}));  // the prompt first
  EXPECT_EQ(Log("fill")[1]["rect"], LogEntry({20, 200, 780, 240}));
  EXPECT_EQ(Log("launch")[0]["ok"], true);
  EXPECT_EQ(HostLiveDrawingResources(), 0);
  Message message{};
  ASSERT_EQ(GetNextMessage(&message), 1);  // the close request waits in the queue
  EXPECT_EQ(message.message, kMessageClose);
  EXPECT_EQ(message.window, window);
}

TEST_F(LaunchTest, AFailedStartShowsTheOpenTextAndStillCloses) {
  WriteMainIni("[Option]\nLangue=Deutsch\n");
  WriteLanguageIni("[Deutsch]\nStart=Los ...\n");
  LaunchApplication(OpenWindow());
  std::vector<std::string> texts = DrawnTexts();
  ASSERT_EQ(texts.size(), 4u);
  EXPECT_EQ(texts[2], "Los ...|200|1|32");
  EXPECT_EQ(texts[3], "Can't open the application software!|200|1|32");
  EXPECT_EQ(Log("fill").size(), 3u);  // the message band blanked again first
  EXPECT_EQ(Log("launch")[0]["ok"], false);
  EXPECT_EQ(Log("sleep").size(), 1u);
  EXPECT_EQ(Log("post"),
            std::vector<LogEntry>{LogEntry::parse(R"({"t":10000,"op":"post","message":16})")});
}

TEST_F(LaunchTest, ALongVersionLabelIsCutSoTheVersionStaysWhole) {
  InstallApplication();
  WriteMainIni("[Main]\nVersion=1.2.3\n");
  WriteLanguageIni("[English]\nVersion=" + std::string(60, 'V') + "\n");
  LaunchApplication(OpenWindow());
  EXPECT_EQ(DrawnTexts()[1], std::string(43, 'V') + " 1.2.3|456|2|0");  // 49 characters
}

TEST_F(LaunchTest, TheVersionLabelComesFromTheUsersLanguage) {
  InstallApplication();
  WriteMainIni("[Option]\nLangue=Espa\xC3\xB1ol\n[Main]\nVersion=1.2.3\n");
  WriteLanguageIni("[Espa\xC3\xB1ol]\nVersion=Versi\xC3\xB3n\n");
  LaunchApplication(OpenWindow());
  EXPECT_EQ(DrawnTexts()[1], "Versi\xC3\xB3n 1.2.3|456|2|0");
}

}  // namespace
}  // namespace nimbora
