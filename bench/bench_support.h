// What the benchmarks share: whole programs run to their end with their time
// and peak memory, medians, and the work directories they build trees in.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace bench {

struct ProgramRun {
  double seconds;        // negative when the program could not run or failed
  long peakKilobytes;    // the child's own peak resident set
};

// Runs a program (found on PATH) to its end; stdout and stderr go to
// /dev/null when quiet. Exit statuses in allowedStatuses count as success.
ProgramRun RunProgram(std::vector<std::string> arguments, bool quiet = false,
                      std::vector<int> allowedStatuses = {0});
double TimeProgram(std::vector<std::string> arguments);

double Seconds(std::chrono::steady_clock::duration duration);
double Median(std::vector<double> values);
void WriteFile(const std::filesystem::path& path, const std::string& content);
void PrintRatio(const char* what, double ours, const char* theirsName, double theirs);
// A fresh directory below parent; exits when it cannot be made.
std::filesystem::path MakeWorkDirectory(const char* parent);

}  // namespace bench
