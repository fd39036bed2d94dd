// Builds a package of 2,000 files in 50 directories (100 MB), applies it with
// "Update" = "all" onto an empty application directory, and times that
// against cp -r of the same tree, alternating the two over several rounds.
// Arguments: [directory to work in] [files] [directories] [rounds]; the
// package stays 100 MB whatever the number of files.
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
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

constexpr size_t kPackageBytes = 100 * 1024 * 1024;

struct Shape {
  int files = 2000;
  int directories = 50;
  int rounds = 5;
  size_t FileSize() const { return kPackageBytes / static_cast<size_t>(files); }
};

void BuildPackage(const fs::path& package, const Shape& shape) {
  std::string bytes(shape.FileSize(), '\0');
  unsigned state = 12345;
  for (int d = 0; d < shape.directories; ++d) {
    fs::path directory = package / ("dir" + std::to_string(d));
    fs::create_directories(directory);
    for (int f = 0; f < shape.files / shape.directories; ++f) {
      for (char& c : bytes) c = static_cast<char>((state = state * 1103515245 + 12345) >> 16);
      std::ofstream(directory / ("file" + std::to_string(f) + ".bin"), std::ios::binary) << bytes;
    }
  }
  std::ofstream(package / "update.ini") << "[Main]\nVersion=1.2.4\nUpdate=all\n";
}

double Seconds(std::chrono::steady_clock::duration duration) {
  return std::chrono::duration<double>(duration).count();
}

// Wall-clock time, and the processor time (user and system) that the work
// itself took, which other load on the machine disturbs less.
struct Timing {
  std::vector<double> wall;
  std::vector<double> processor;
};

double ProcessorSeconds(const rusage& usage) {
  auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void TimeApply(const fs::path& application, Timing* timing) {
  fs::remove_all(application);
  fs::create_directories(application);
  rusage before, after;
  getrusage(RUSAGE_SELF, &before);
  auto start = std::chrono::steady_clock::now();
  int result = nimbora::ApplyPackage(u"\\Storage Card\\Update Nimbora\\", u"\\ResidentFlash\\Nimbora\\",
                                     u"\\Storage Card\\Update Nimbora\\update.ini");
  timing->wall.push_back(Seconds(std::chrono::steady_clock::now() - start));
  getrusage(RUSAGE_SELF, &after);
  timing->processor.push_back(ProcessorSeconds(after) - ProcessorSeconds(before));
  if (result != 1) std::fprintf(stderr, "ApplyPackage reported failure\n");
}

void TimeCopy(const fs::path& package, const fs::path& target, Timing* timing) {
  fs::remove_all(target);
  std::string source = package.string(), destination = target.string();
  char* arguments[] = {const_cast<char*>("cp"), const_cast<char*>("-r"), source.data(),
                       destination.data(), nullptr};
  auto start = std::chrono::steady_clock::now();
  pid_t child;
  int status = 0;
  rusage usage;
  if (posix_spawnp(&child, "cp", nullptr, nullptr, arguments, environ) != 0 ||
      wait4(child, &status, 0, &usage) < 0 || status != 0) {
    std::fprintf(stderr, "cp -r failed\n");
  }
  timing->wall.push_back(Seconds(std::chrono::steady_clock::now() - start));
  timing->processor.push_back(ProcessorSeconds(usage));
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
  Shape shape;
  if (argc > 2) shape.files = std::atoi(argv[2]);
  if (argc > 3) shape.directories = std::atoi(argv[3]);
  if (argc > 4) shape.rounds = std::atoi(argv[4]);
  if (shape.files < shape.directories || shape.directories < 1 || shape.rounds < 1) {
    std::fprintf(stderr, "usage: nimbora_bench [directory] [files] [directories] [rounds]\n");
    return 2;
  }
  fs::path root = pattern;
  fs::path package = root / "Storage Card" / "Update Nimbora";
  BuildPackage(package, shape);
  nimbora::HostFileSystemState state;
  FileSystem fileSystem;
  if (!nimbora::InitHostFileSystem(&fileSystem, &state, root.c_str())) return 1;
  nimbora::UseFileSystem(&fileSystem);

  Timing apply, copy;
  for (int round = 0; round < shape.rounds; ++round) {
    if (round % 2 == 0) TimeApply(root / "ResidentFlash" / "Nimbora", &apply);
    TimeCopy(package, root / "cp-target", &copy);
    if (round % 2 == 1) TimeApply(root / "ResidentFlash" / "Nimbora", &apply);
  }
  fs::remove_all(root);
  int files = shape.files / shape.directories * shape.directories;
  std::printf("package: %d files in %d directories, %zu bytes each (%.1f MB)\n", files,
              shape.directories, shape.FileSize(), files * shape.FileSize() / 1e6);
  std::printf("medians over %d rounds      wall      processor\n", shape.rounds);
  std::printf("ApplyPackage (Update=all): %.3f s   %.3f s\n", Median(apply.wall),
              Median(apply.processor));
  std::printf("cp -r:                     %.3f s   %.3f s\n", Median(copy.wall),
              Median(copy.processor));
  std::printf("ratio (goal: at most 1.05): %.2f      %.2f\n", Median(apply.wall) / Median(copy.wall),
              Median(apply.processor) / Median(copy.processor));
  return 0;
}
