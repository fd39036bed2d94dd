// Times nimbora-package at release scale against what it stands for:
// - make on two application trees (5% different: 3.5% of the files changed,
//   1.5% removed, 1.5% added) against rsync -rcn --delete of the same trees,
//   with the peak memory of each;
// - check and preview of an "Update" = "all" package of the new tree against
//   the real nimbora-update run they simulate;
// - check and preview of a listed package (one entry per file) against the
//   real run, which re-reads update.ini for every key.
// Every pair alternates round by round; medians are printed with their ratio.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_support.h"

namespace {

namespace fs = std::filesystem;
using namespace bench;

constexpr int kDirectories = 40;
constexpr size_t kLargestFile = 23 * 1024;  // about 11.6 KB a file on average
const char kInstalled[] = "[Main]\r\nVersion=1.2.3\r\nUpdate Time=2013-08-16 7:30:00\r\n"
                          "Title=Harbour Station\r\n[Option]\r\nFrequency=915M\r\n";
constexpr int kRounds = 3;

struct Programs {
  std::string tool;
  std::string updater;
};

struct Random {
  unsigned long long state;
  unsigned Next() {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<unsigned>(state >> 33);
  }
};

std::string Bytes(Random* random) {
  std::string bytes(random->Next() % kLargestFile + 1, '\0');
  for (size_t i = 0; i < bytes.size(); i += 4) {
    unsigned word = random->Next();
    std::memcpy(&bytes[i], &word, std::min<size_t>(4, bytes.size() - i));
  }
  return bytes;
}

fs::path FileOf(const fs::path& tree, int file) {
  return tree / ("dir" + std::to_string(file % kDirectories)) / ("file" + std::to_string(file) + ".bin");
}

// OLD holds files 0..n-1; NEW drops the first 1.5%, changes the next 3.5%
// and adds 1.5% more.
void BuildTrees(const fs::path& oldTree, const fs::path& newTree, int files) {
  Random random{static_cast<unsigned long long>(files)};
  int removed = files * 15 / 1000;
  int changed = files * 35 / 1000;
  for (int f = 0; f < files + removed; ++f) {
    std::string bytes = Bytes(&random);
    if (f < files) WriteFile(FileOf(oldTree, f), bytes);
    if (f >= removed && f < removed + changed) bytes = Bytes(&random);
    if (f >= removed) WriteFile(FileOf(newTree, f), bytes);
  }
  WriteFile(oldTree / "main.ini", kInstalled);
  WriteFile(newTree / "main.ini", kInstalled);
}

void ResetDevice(const fs::path& device) {
  fs::remove_all(device / "ResidentFlash");
  WriteFile(device / "ResidentFlash/Nimbora/main.ini", kInstalled);
}

double RealRun(const Programs& programs, const fs::path& device) {
  ResetDevice(device);
  return RunProgram({programs.updater, "--root", device.string(), "--headless", "--virtual-clock", "--keys",
                     "space"}).seconds;
}

// check exits 1 when it has error findings, which a benchmark package may have.
ProgramRun Check(const Programs& programs, const fs::path& device, const fs::path& package) {
  ResetDevice(device);
  return RunProgram({programs.tool, "check", "--device", device.string(), package.string()}, true, {0, 1});
}

ProgramRun Preview(const Programs& programs, const fs::path& device, const fs::path& package,
                   const fs::path& out) {
  ResetDevice(device);
  fs::remove_all(out);
  return RunProgram({programs.tool, "preview", "--device", device.string(), "--out", out.string(),
                     package.string()}, true);
}

double Megabytes(long kilobytes) { return kilobytes / 1024.0; }

void BenchMake(const Programs& programs, const fs::path& work, int files) {
  fs::path oldTree = work / "old", newTree = work / "new", out = work / "out";
  BuildTrees(oldTree, newTree, files);
  std::vector<double> make, rsync;
  long makePeak = 0, rsyncPeak = 0;
  for (int round = 0; round < kRounds; ++round) {
    auto runMake = [&] {
      fs::remove_all(out);
      ProgramRun run = RunProgram({programs.tool, "make", "--from", oldTree.string(), "--to", newTree.string(),
                                   "--version", "1.2.4", out.string()}, true);
      make.push_back(run.seconds);
      makePeak = std::max(makePeak, run.peakKilobytes);
    };
    if (round % 2 == 0) runMake();
    ProgramRun run = RunProgram({"rsync", "-rcn", "--delete", oldTree.string() + "/", newTree.string() + "/"}, true);
    rsync.push_back(run.seconds);
    rsyncPeak = std::max(rsyncPeak, run.peakKilobytes);
    if (round % 2 == 1) runMake();
  }
  char what[80];
  std::snprintf(what, sizeof what, "make, %d files:", files);
  PrintRatio(what, Median(make), "rsync -rcn", Median(rsync));
  std::printf("  %-34s %8.1f MB   %-12s %8.1f MB   (goals: 2x rsync, 64 MB)\n", "  peak memory:",
              Megabytes(makePeak), "rsync -rcn", Megabytes(rsyncPeak));
  fs::remove_all(out);
}

// Runs check and preview against the real run on a device with this package on its card.
void BenchSimulation(const Programs& programs, const fs::path& work, const char* kind, int files, double goal) {
  fs::path device = work / "device";
  fs::path package = device / "Storage Card" / "Update Nimbora";
  std::vector<double> real, check, preview;
  long checkPeak = 0, previewPeak = 0;
  for (int round = 0; round < kRounds; ++round) {
    if (round % 2 == 0) real.push_back(RealRun(programs, device));
    ProgramRun c = Check(programs, device, package);
    ProgramRun p = Preview(programs, device, package, work / "screens");
    check.push_back(c.seconds);
    preview.push_back(p.seconds);
    checkPeak = std::max(checkPeak, c.peakKilobytes);
    previewPeak = std::max(previewPeak, p.peakKilobytes);
    if (round % 2 == 1) real.push_back(RealRun(programs, device));
  }
  char what[80];
  std::snprintf(what, sizeof what, "check, %s, %d files:", kind, files);
  PrintRatio(what, Median(check), "real run", Median(real));
  std::snprintf(what, sizeof what, "preview, %s, %d files:", kind, files);
  PrintRatio(what, Median(preview), "real run", Median(real));
  std::printf("  %-34s check %.1f MB, preview %.1f MB   (goal: %.1fx the real run)\n", "  peak memory:",
              Megabytes(checkPeak), Megabytes(previewPeak), goal);
  fs::remove_all(device);
  fs::remove_all(work / "screens");
}

// The new tree of BenchMake as a whole package.
void BenchWholePackage(const Programs& programs, const fs::path& work, int files) {
  fs::path package = work / "device" / "Storage Card" / "Update Nimbora";
  fs::create_directories(package.parent_path());
  fs::rename(work / "new", package);
  fs::remove(package / "main.ini");
  WriteFile(package / "update.ini", "[Main]\r\nVersion=1.2.4\r\nUpdate=all\r\n");
  BenchSimulation(programs, work, "Update=all", files, 2.0);
}

void BenchListedPackage(const Programs& programs, const fs::path& work, int files) {
  fs::path package = work / "device" / "Storage Card" / "Update Nimbora";
  Random random{7};
  std::string description = "[Main]\r\nVersion=1.2.4\r\nUpdate=" + std::to_string(files) + "\r\n[Update]\r\n";
  for (int f = 0; f < files; ++f) {
    std::string name = "dir" + std::to_string(f % kDirectories) + "\\file" + std::to_string(f) + ".bin";
    WriteFile(FileOf(package, f), Bytes(&random));
    description += "file" + std::to_string(f + 1) + "=" + name + "\r\n";
  }
  WriteFile(package / "update.ini", description);
  BenchSimulation(programs, work, "listed", files, 1.5);
}

std::vector<int> Counts(const char* list) {
  std::vector<int> counts;
  for (const char* at = list; *at != '\0'; at = std::strchr(at, ',') ? std::strchr(at, ',') + 1 : "") {
    counts.push_back(std::atoi(at));
  }
  return counts;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || argc > 6) {
    std::fprintf(stderr, "usage: nimbora_package_bench NIMBORA_PACKAGE NIMBORA_UPDATE [FILES,...] [LISTED]"
                         " [WORK_PARENT]\n"
                         "FILES: tree sizes for make, check and preview (default 2000,20000);\n"
                         "LISTED: the entries of the listed package (default 5000);\n"
                         "WORK_PARENT: default /dev/shm\n");
    return 2;
  }
  Programs programs{fs::absolute(argv[1]).string(), fs::absolute(argv[2]).string()};
  std::vector<int> sizes = Counts(argc > 3 ? argv[3] : "2000,20000");
  int listed = argc > 4 ? std::atoi(argv[4]) : 5000;
  fs::path work = MakeWorkDirectory(argc > 5 ? argv[5] : "/dev/shm");
  std::printf("medians of %d alternated rounds\n", kRounds);
  for (int files : sizes) {
    BenchMake(programs, work, files);
    BenchWholePackage(programs, work, files);
    fs::remove_all(work);
    fs::create_directories(work);
  }
  if (listed > 0) BenchListedPackage(programs, work, listed);
  fs::remove_all(work);
  return 0;
}
