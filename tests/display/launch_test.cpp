#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "display/application_launch.h"
#include "display/display_test_support.h"
#include "platform/host/host_platform.h"

namespace nimbora {
namespace {

struct FooterCase {
  const char* name;
  const char* mainIni;  // nullptr: no main.ini
  const char* left;     // the station footer
  const char* right;    // the version footer
};

class LaunchFooterTest : public DisplayTest, public ::testing::WithParamInterface<FooterCase> {};

TEST_P(LaunchFooterTest, FooterShowsTitleFrequencyAndInstalledVersion) {
  InstallApplication();
  if (GetParam().mainIni != nullptr) WriteMainIni(GetParam().mainIni);
  LaunchApplication(OpenPlainWindow());
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

using LaunchTest = DisplayTest;

TEST_F(LaunchTest, TheScreenIsBlankedTheApplicationStartedAndTheWindowClosedAfterTenSeconds) {
  InstallApplication();
  Window* window = OpenPlainWindow();
  LaunchApplication(window);
  std::vector<std::string> ops;
  for (const std::string& line : LogLines()) {
    ops.push_back(line.substr(0, line.find(",\"", line.find("\"op\""))));
  }
  std::vector<std::string> expected{R"({"t":0,"op":"fill")",  R"({"t":0,"op":"fill")",
                                    R"({"t":0,"op":"text")",  R"({"t":0,"op":"text")",
                                    R"({"t":0,"op":"text")",  R"({"t":0,"op":"launch")",
                                    R"({"t":0,"op":"sleep")", R"({"t":10000,"op":"post")"};
  EXPECT_EQ(ops, expected);
  EXPECT_NE(LogLines("fill")[0].find("[20,300,780,340]"), std::string::npos);  // prompt first
  EXPECT_NE(LogLines("fill")[1].find("[20,200,780,240]"), std::string::npos);
  EXPECT_NE(LogLines("launch")[0].find(R"("ok":true)"), std::string::npos);
  EXPECT_EQ(HostLiveDrawingResources(), 0);
  Message message{};
  ASSERT_EQ(GetNextMessage(&message), 1);  // the close request waits in the queue
  EXPECT_EQ(message.message, kMessageClose);
  EXPECT_EQ(message.window, window);
}

TEST_F(LaunchTest, AFailedStartShowsTheOpenTextAndStillCloses) {
  WriteMainIni("[Option]\nLangue=Deutsch\n");
  WriteLanguageIni("[Deutsch]\nStart=Los ...\n");
  LaunchApplication(OpenPlainWindow());
  std::vector<std::string> texts = DrawnTexts();
  ASSERT_EQ(texts.size(), 4u);
  EXPECT_EQ(texts[2], "Los ...|200|1|32");
  EXPECT_EQ(texts[3].substr(0, texts[3].find('|')), "Can't open the application software!");
  EXPECT_EQ(LogLines("fill").size(), 3u);  // the message band blanked again first
  EXPECT_NE(LogLines("launch")[0].find(R"("ok":false)"), std::string::npos);
  EXPECT_EQ(LogLines("sleep").size(), 1u);
  EXPECT_EQ(LogLines("post"), std::vector<std::string>{R"({"t":10000,"op":"post","message":16})"});
}

TEST_F(LaunchTest, ALongVersionLabelIsCutSoTheVersionStaysWhole) {
  InstallApplication();
  WriteMainIni("[Main]\nVersion=1.2.3\n");
  WriteLanguageIni("[English]\nVersion=" + std::string(60, 'V') + "\n");
  LaunchApplication(OpenPlainWindow());
  EXPECT_EQ(DrawnTexts()[1], std::string(43, 'V') + " 1.2.3|456|2|0");  // 49 characters
}

TEST_F(LaunchTest, TheVersionLabelComesFromTheUsersLanguage) {
  InstallApplication();
  WriteMainIni("[Option]\nLangue=Espa\xC3\xB1ol\n[Main]\nVersion=1.2.3\n");
  WriteLanguageIni("[Espa\xC3\xB1ol]\nVersion=Versi\xC3\xB3n\n");
  LaunchApplication(OpenPlainWindow());
  EXPECT_EQ(DrawnTexts()[1], "Versi\xC3\xB3n 1.2.3|456|2|0");
}

}  // namespace
}  // namespace nimbora
