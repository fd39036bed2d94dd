#include "bench_support.h"

#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <fstream>

extern char** environ;

namespace bench {

namespace fs = std::filesystem;

ProgramRun RunProgram(std::vector<std::string> arguments, bool quiet, std::vector<int> allowedStatuses) {
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (quiet) {
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  }
  auto start = std::chrono::steady_clock::now();
  pid_t child;
  int status = 0;
  rusage usage{};
  bool ran = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ) == 0 &&
             wait4(child, &status, 0, &usage) >= 0;
  posix_spawn_file_actions_destroy(&actions);
  double seconds = Seconds(std::chrono::steady_clock::now() - start);
  bool allowed = ran && WIFEXITED(status) &&
                 std::find(allowedStatuses.begin(), allowedStatuses.end(), WEXITSTATUS(status)) !=
                     allowedStatuses.end();
  if (!allowed) {
    std::fprintf(stderr, "%s failed\n", argv[0]);
    return ProgramRun{-1, 0};
  }
  return ProgramRun{seconds, usage.ru_maxrss};
}

double TimeProgram(std::vector<std::string> arguments) { return RunProgram(std::move(arguments)).seconds; }

double Seconds(std::chrono::steady_clock::duration duration) {
  return std::chrono::duration<double>(duration).count();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

void WriteFile(const fs::path& path, const std::string& content) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << content;
}

void PrintRatio(const char* what, double ours, const char* theirsName, double theirs) {
  std::printf("  %-34s %8.3f s   %-12s %8.3f s   ratio %.2fx\n", what, ours, theirsName, theirs,
              ours / theirs);
}

fs::path MakeWorkDirectory(const char* parent) {
  std::string pattern = (fs::path(parent) / "nimbora-bench-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    std::perror(parent);
    std::exit(1);
  }
  return pattern;
}

}  // namespace bench
