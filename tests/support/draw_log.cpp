#include "support/draw_log.h"

#include <gtest/gtest.h>

#include <fstream>

namespace nimbora {

std::vector<LogEntry> ReadDrawLog(const std::string& path, const std::string& op) {
  std::ifstream in(path);
  std::vector<LogEntry> entries;
  for (std::string line; std::getline(in, line);) {
    LogEntry entry = LogEntry::parse(line, nullptr, false);
    EXPECT_TRUE(entry.is_object()) << line;
    if (op.empty() || entry.value("op", "") == op) entries.push_back(entry);
  }
  return entries;
}

std::vector<std::string> DrawnTexts(const std::vector<LogEntry>& log) {
  std::vector<std::string> texts;
  for (const LogEntry& entry : log) {
    if (entry.value("op", "") != "text") continue;
    texts.push_back(entry["text"].get<std::string>() + "|" + entry["rect"][1].dump() + "|" +
                    entry["format"].dump() + "|" + entry["font"].dump());
  }
  return texts;
}

}  // namespace nimbora
