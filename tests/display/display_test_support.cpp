#include "display/display_test_support.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "platform/host/host_platform.h"
#include "support/host_session_support.h"

namespace nimbora {

void DisplayTest::SetUp() {
  DeviceFixture::SetUp();
  StartHost(nullptr);
}

void DisplayTest::TearDown() {
  HostFinish(0);
  DeviceFixture::TearDown();
}

void DisplayTest::RestartHost(const char* keys) {
  HostFinish(0);
  StartHost(keys);
}

void DisplayTest::StartHost(const char* keys) { StartHeadlessSession(root, keys, nullptr); }

Window* DisplayTest::OpenPlainWindow() { return OpenTestWindow(DefaultProcessing, u"PLAIN"); }

void DisplayTest::WriteMainIni(const std::string& text) const {
  WriteHostFile("ResidentFlash/Nimbora/main.ini", text);
}

void DisplayTest::WriteLanguageIni(const std::string& bytes) const {
  WriteHostFile("ResidentFlash/Nimbora/Language.ini", bytes);
}

// A program that is done once started, so the scratch root can go at once.
void DisplayTest::InstallApplication() const {
  MakeHostDirectory("ResidentFlash/Nimbora");
  std::filesystem::copy_file("/bin/true", HostPath("ResidentFlash/Nimbora/Nimbora.exe"));
}

std::vector<std::string> DisplayTest::LogLines(const std::string& op) const {
  std::ifstream in(HostPath("draw.log"));
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (op.empty() || line.find("\"op\":\"" + op + "\"") != std::string::npos) {
      lines.push_back(line);
    }
  }
  return lines;
}

std::vector<std::string> DisplayTest::DrawnTexts() const {
  const std::string opening = "\"text\":\"";
  std::vector<std::string> texts;
  for (const std::string& line : LogLines("text")) {
    size_t start = line.find(opening, line.find("\"op\"")) + opening.size();
    size_t end = start;
    while (end < line.size() && line[end] != '"') end += line[end] == '\\' ? 2 : 1;
    int left = 0, top = 0, right = 0, bottom = 0, format = 0, font = 0;
    int fields = sscanf(line.c_str() + end, "\",\"rect\":[%d,%d,%d,%d],\"format\":%d,\"font\":%d",
                        &left, &top, &right, &bottom, &format, &font);
    EXPECT_EQ(fields, 6) << line;
    texts.push_back(line.substr(start, end - start) + "|" + std::to_string(top) + "|" +
                    std::to_string(format) + "|" + std::to_string(font));
  }
  return texts;
}

}  // namespace nimbora
