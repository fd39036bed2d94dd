// The draw log as tests read it: one JSON object per line.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace nimbora {

using LogEntry = nlohmann::json;

// The entries of the log at path, or only those of one operation ("text", ...).
std::vector<LogEntry> ReadDrawLog(const std::string& path, const std::string& op = "");

// The texts drawn, in order, each as "text|top of its rectangle|format|font".
std::vector<std::string> DrawnTexts(const std::vector<LogEntry>& log);

}  // namespace nimbora
