// Builds a package of 2,000 files in 50 directories (100 MB), applies it with
// "Update" = "all" onto an empty application directory, and times that
// against cp -r of the same tree, alternating the two over several rounds.
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "package/package_instructions.h"
#include "platform/host/host_file_system.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using nimbora::FileSystem;

constexpr int kDirectories = 50;
constexpr int kFilesPerDirectory = 40;
constexpr size_t kFileSize = 100 * 1024 * 1024 / (kDirectories * kFilesPerDirectory);
constexpr int kRounds = 5;

void BuildPackage(const fs::path& package) {
  std::string bytes(kFileSize, '\0');
  unsigned state = 12345;
  for (int d = 0; d < kDirectories; ++d) {
    fs::path directory = package / ("dir" + std::to_string(d));
    fs::create_directories(directory);
    for (int f = 0; f < kFilesPerDirectory; ++f) {
      for (char& c : bytes) c = static_cast<char>((state = state * 1103515245 + 12345) >> 16);
      std::ofstream(directory / ("file" + std::to_string(f) + ".bin"), std::ios::binary) << bytes;
    }
  }
  std::ofstream(package / "update.ini") << "[Main]\nVersion=1.2.4\nUpdate=all\n";
}

double Seconds(std::chrono::steady_clock::duration duration) {
  return std::chrono::duration<double>(duration).count();
}

double TimeApply(const fs::path& application) {
  fs::remove_all(application);
  fs::create_directories(application);
  auto start = std::chrono::steady_clock::now();
  int result = nimbora::ApplyPackage(u"\\Storage Card\\Update Nimbora\\", u"\\ResidentFlash\\Nimbora\\",
                                     u"\\Storage Card\\Update Nimbora\\update.ini");
  double seconds = Seconds(std::chrono::steady_clock::now() - start);
  if (result != 1) std::fprintf(stderr, "ApplyPackage reported failure\n");
  return seconds;
}

double TimeCopy(const fs::path& package, const fs::path& target) {
  fs::remove_all(target);
  std::string source = package.string(), destination = target.string();
  char* arguments[] = {const_cast<char*>("cp"), const_cast<char*>("-r"), source.data(),
                       destination.data(), nullptr};
  auto start = std::chrono::steady_clock::now();
  pid_t child;
  int status = 0;
  if (posix_spawnp(&child, "cp", nullptr, nullptr, arguments, environ) != 0 ||
      waitpid(child, &status, 0) < 0 || status != 0) {
    std::fprintf(stderr, "cp -r failed\n");
  }
  return Seconds(std::chrono::steady_clock::now() - start);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  std::string pattern = (fs::path(argc > 1 ? argv[1] : fs::temp_directory_path().string()) /
                         "nimbora-bench-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  fs::path root = pattern;
  fs::path package = root / "Storage Card" / "Update Nimbora";
  BuildPackage(package);
  nimbora::HostFileSystemState state;
  FileSystem fileSystem;
  if (!nimbora::InitHostFileSystem(&fileSystem, &state, root.c_str())) return 1;
  nimbora::UseFileSystem(&fileSystem);

  std::vector<double> apply, copy;
  for (int round = 0; round < kRounds; ++round) {
    if (round % 2 == 0) apply.push_back(TimeApply(root / "ResidentFlash" / "Nimbora"));
    copy.push_back(TimeCopy(package, root / "cp-target"));
    if (round % 2 == 1) apply.push_back(TimeApply(root / "ResidentFlash" / "Nimbora"));
  }
  fs::remove_all(root);
  double applyMedian = Median(apply), copyMedian = Median(copy);
  std::printf("package: %d files in %d directories, %zu bytes each (%.1f MB)\n",
              kDirectories * kFilesPerDirectory, kDirectories, kFileSize,
              kDirectories * kFilesPerDirectory * kFileSize / 1e6);
  std::printf("ApplyPackage (Update=all): median %.3f s over %d rounds\n", applyMedian, kRounds);
  std::printf("cp -r:                     median %.3f s over %d rounds\n", copyMedian, kRounds);
  std::printf("ratio: %.2fx (goal: at most 1.20x)\n", applyMedian / copyMedian);
  return 0;
}
