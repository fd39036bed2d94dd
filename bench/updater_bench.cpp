// Times the Updater against the plain tools it competes with:
// - applying a whole package ("Update" = "all") by the whole nimbora-update
//   process against cp -r of the same tree, alternated round by round, on a
//   memory file system and on a disk (there each side is followed by sync);
// - one profile lookup in a 100 KB file of each encoding, with the number of
//   reads and seeks it takes;
// - a start with nothing to apply: from process start to the request to start
//   the application (the hand-off, written by the program itself on the same
//   monotonic clock) and to the process's end; with the font matches kept
//   from an earlier run and without.
// - verifying and applying a package with a checksum list by the whole
//   nimbora-update process against sha256sum -c followed by cp -r of the
//   same tree, alternated; and the hash alone against sha256sum.
// Medians are printed with both absolute times and their ratio.
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench_support.h"
#include "testing/fault_file_system.h"
#include "base/sha256.h"
#include "platform/host/host_platform.h"
#include "profile/profile_reader.h"
#include "tools/package/package_checksum_list.h"

namespace {

namespace fs = std::filesystem;
using namespace bench;

constexpr size_t kPackageBytes = 100 * 1024 * 1024;
constexpr size_t kProfileBytes = 100 * 1024;
const char kInstalled[] = "[Main]\r\nVersion=1.2.3\r\nUpdate Time=2013-08-16 7:30:00\r\n";

struct ApplyCase {
  const char* medium;  // "tmpfs" or "disk"
  int files;
  int directories;
  int rounds;
};

// A device with an installed 1.2.3. It has no application to start: one
// started in the background would outlive the round that removes its directory.
void ResetDevice(const fs::path& root) {
  fs::remove_all(root / "ResidentFlash");
  WriteFile(root / "ResidentFlash/Nimbora/main.ini", kInstalled);
}

void BuildPackage(const fs::path& package, const ApplyCase& c) {
  std::string bytes(kPackageBytes / static_cast<size_t>(c.files), '\0');
  unsigned state = 12345;
  for (int f = 0; f < c.files; ++f) {
    for (char& b : bytes) b = static_cast<char>((state = state * 1103515245 + 12345) >> 16);
    WriteFile(package / ("dir" + std::to_string(f % c.directories)) /
                  ("file" + std::to_string(f) + ".bin"),
              bytes);
  }
  WriteFile(package / "update.ini", "[Main]\r\nVersion=1.2.4\r\nUpdate=all\r\n");
}

double Updater(const char* program, const fs::path& root, bool sync) {
  ResetDevice(root);
  auto start = std::chrono::steady_clock::now();
  if (TimeProgram({program, "--root", root.string(), "--headless", "--virtual-clock", "--keys",
                   "space"}) < 0 ||
      (sync && TimeProgram({"sync"}) < 0)) {
    return -1;
  }
  return Seconds(std::chrono::steady_clock::now() - start);
}

double Copy(const fs::path& package, const fs::path& target, bool sync) {
  fs::remove_all(target);
  auto start = std::chrono::steady_clock::now();
  if (TimeProgram({"cp", "-r", package.string(), target.string()}) < 0 ||
      (sync && TimeProgram({"sync"}) < 0)) {
    return -1;
  }
  return Seconds(std::chrono::steady_clock::now() - start);
}

void BenchApply(const char* program, const fs::path& work, const ApplyCase& c) {
  fs::path root = work / "device";
  fs::path package = root / "Storage Card" / "Update Nimbora";
  BuildPackage(package, c);
  bool sync = std::strcmp(c.medium, "disk") == 0;
  std::vector<double> ours, theirs;
  for (int round = 0; round < c.rounds; ++round) {
    // Alternated, so that neither side always runs on a warmer cache.
    if (round % 2 == 0) ours.push_back(Updater(program, root, sync));
    theirs.push_back(Copy(package, work / "cp-target", sync));
    if (round % 2 == 1) ours.push_back(Updater(program, root, sync));
  }
  fs::remove_all(root);
  fs::remove_all(work / "cp-target");
  char what[80];
  std::snprintf(what, sizeof what, "apply %d files, %d dirs, %s%s:", c.files, c.directories,
                c.medium, sync ? "+sync" : "");
  PrintRatio(what, Median(ours), sync ? "cp -r + sync" : "cp -r", Median(theirs));
}

// 100 MB in 2,000 files with the list make writes: whole processes, so the
// other side's check and copy are timed one after the other.
void BenchVerifiedApply(const char* program, const fs::path& work) {
  const ApplyCase c{"tmpfs", 2000, 50, 7};
  fs::path root = work / "device";
  fs::path package = root / "Storage Card" / "Update Nimbora";
  BuildPackage(package, c);
  std::string error;
  if (!nimbora::WriteChecksumList(package.string(), &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return;
  }
  std::string check = "cd '" + package.string() + "' && sha256sum --quiet --strict -c update.sha256";
  std::vector<double> ours, theirs;
  for (int round = 0; round < c.rounds; ++round) {
    if (round % 2 == 0) ours.push_back(Updater(program, root, false));
    theirs.push_back(TimeProgram({"sh", "-c", check}) + Copy(package, work / "cp-target", false));
    if (round % 2 == 1) ours.push_back(Updater(program, root, false));
  }
  fs::remove_all(root);
  fs::remove_all(work / "cp-target");
  PrintRatio("verify + apply 2000 files, tmpfs:", Median(ours), "sha256sum -c + cp -r",
             Median(theirs));
}

// The hash alone: in memory here, of a file on the same medium for sha256sum.
void BenchHash(const fs::path& work) {
  std::string bytes(kPackageBytes, '\0');
  unsigned state = 54321;
  for (char& b : bytes) b = static_cast<char>((state = state * 1103515245 + 12345) >> 16);
  WriteFile(work / "hash.bin", bytes);
  std::vector<double> ours, theirs;
  for (int round = 0; round < 3; ++round) {
    auto start = std::chrono::steady_clock::now();
    nimbora::Sha256 hash;
    unsigned char digest[nimbora::kSha256Bytes];
    nimbora::Sha256Start(&hash);
    nimbora::Sha256Add(&hash, bytes.data(), bytes.size());
    nimbora::Sha256Finish(&hash, digest);
    ours.push_back(Seconds(std::chrono::steady_clock::now() - start));
    theirs.push_back(TimeProgram({"sh", "-c", "sha256sum '" + (work / "hash.bin").string() + "' >/dev/null"}));
  }
  fs::remove(work / "hash.bin");
  double megabytes = kPackageBytes / 1e6;
  std::printf("  SHA-256 of 100 MB: %7.1f MB/s (in memory)   sha256sum %7.1f MB/s (file, whole process)\n",
              megabytes / Median(ours), megabytes / Median(theirs));
}

// Sections of ten keys each until the text holds the given number of
// characters; the key looked up is the last one, so the whole file is read.
std::u16string ProfileText(size_t characters) {
  std::u16string text;
  for (int s = 0; text.size() < characters; ++s) {
    std::string section = "[Section" + std::to_string(s) + "]\r\n";
    text.append(section.begin(), section.end());
    for (int k = 0; k < 10; ++k) {
      std::string entry = "Key" + std::to_string(k) + "=value of a moderate length " +
                          std::to_string(s * 10 + k) + "\r\n";
      text.append(entry.begin(), entry.end());
    }
  }
  std::string last = "[Last]\r\nWanted=found\r\n";
  text.append(last.begin(), last.end());
  return text;
}

void BenchLookup(const fs::path& work, bool utf16) {
  std::u16string text = ProfileText(utf16 ? kProfileBytes / 2 : kProfileBytes);
  std::string bytes;
  if (utf16) {
    bytes = "\xFF\xFE";
    for (char16_t unit : text) {
      bytes.push_back(static_cast<char>(unit & 0xFF));
      bytes.push_back(static_cast<char>(unit >> 8));
    }
  } else {
    bytes.assign(text.begin(), text.end());
  }
  WriteFile(work / "profile.ini", bytes);

  nimbora::FileSystem host, counting;
  nimbora::FaultFileSystemState counts;
  nimbora::HostFileSystemState* hostState = nimbora::OpenHostFileSystem(&host, work.c_str());
  if (hostState == nullptr) return;
  nimbora::InitFaultFileSystem(&counting, &counts, &host);
  nimbora::UseFileSystem(&counting);
  std::vector<double> times;
  char16_t value[32];
  for (int round = 0; round < 51; ++round) {
    auto start = std::chrono::steady_clock::now();
    nimbora::ReadProfileString(u"Last", u"Wanted", u"", value, 32, u"\\profile.ini");
    times.push_back(Seconds(std::chrono::steady_clock::now() - start));
  }
  nimbora::UseFileSystem(nullptr);
  nimbora::CloseHostFileSystem(hostState);
  int calls = (counts.calls[nimbora::kOperationRead] + counts.calls[nimbora::kOperationSeek]) / 51;
  bool found = std::u16string(value) == u"found";
  std::printf("  lookup in %zu KB %-7s %s  %8.3f ms   reads + seeks per lookup: %d (goal: at most 64)\n",
              bytes.size() / 1024, utf16 ? "UTF-16" : "text", found ? "found    " : "NOT FOUND",
              Median(times) * 1e3, calls);
  fs::remove(work / "profile.ini");
}

// The monotonic clock's time the program wrote at its launch request.
double LaunchSeconds(const fs::path& file) {
  unsigned long long nanoseconds = 0;
  std::ifstream(file) >> nanoseconds;
  return nanoseconds / 1e9;
}

// fontCache: the file keeping font matches, or "" for none.
void BenchHandOff(const char* program, const fs::path& work, const std::string& fontCache) {
  fs::path root = work / "device";
  fs::path launchTimes = work / "launch-times";
  setenv("NIMBORA_FONT_CACHE", fontCache.c_str(), 1);
  ResetDevice(root);
  TimeProgram({program, "--root", root.string(), "--headless", "--virtual-clock"});  // warms up
  std::vector<double> handOff, whole;
  for (int round = 0; round < 21; ++round) {
    fs::remove(launchTimes);
    double start = Seconds(std::chrono::steady_clock::now().time_since_epoch());
    double took = TimeProgram({program, "--root", root.string(), "--headless", "--virtual-clock",
                               "--launch-times", launchTimes.string()});
    if (took < 0) return;
    handOff.push_back(LaunchSeconds(launchTimes) - start);
    whole.push_back(took);
  }
  unsetenv("NIMBORA_FONT_CACHE");
  fs::remove_all(root);
  fs::remove(launchTimes);
  std::printf("  nothing to apply, %-22s hand-off %6.1f ms (goal: at most 10 ms), "
              "whole process %6.1f ms\n",
              fontCache.empty() ? "matching fonts afresh:" : "font matches kept:",
              Median(handOff) * 1e3, Median(whole) * 1e3);
}

}  // namespace

// With --hand-off first, only the start with nothing to apply is timed;
// with --checksums, only the package with a checksum list and the hash.
int main(int argc, char** argv) {
  bool handOffOnly = argc > 1 && std::strcmp(argv[1], "--hand-off") == 0;
  bool checksumsOnly = argc > 1 && std::strcmp(argv[1], "--checksums") == 0;
  if (handOffOnly || checksumsOnly) {
    --argc;
    ++argv;
  }
  if (argc < 2 || argc > 4) {
    std::fprintf(stderr, "usage: nimbora_bench [--hand-off | --checksums] NIMBORA_UPDATE "
                         "[TMPFS_DIR [DISK_DIR]]\n");
    return 2;
  }
  const char* program = argv[1];
  fs::path memory = MakeWorkDirectory(argc > 2 ? argv[2] : "/dev/shm");
  fs::path disk = MakeWorkDirectory(argc > 3 ? argv[3] : "/var/tmp");
  const ApplyCase cases[] = {
      {"tmpfs", 2000, 50, 9}, {"disk", 2000, 50, 5}, {"tmpfs", 20000, 50, 3}, {"tmpfs", 20000, 5, 3}};
  std::printf("medians of alternated rounds (package: 100 MB, \"Update\" = \"all\")\n");
  for (const ApplyCase& c : cases) {
    if (handOffOnly || checksumsOnly) break;
    BenchApply(program, std::strcmp(c.medium, "disk") == 0 ? disk : memory, c);
  }
  if (!handOffOnly) {
    BenchVerifiedApply(program, memory);
    BenchHash(memory);
  }
  if (checksumsOnly) {
    fs::remove_all(memory);
    fs::remove_all(disk);
    return 0;
  }
  if (!handOffOnly) {
    BenchLookup(memory, false);
    BenchLookup(memory, true);
  }
  BenchHandOff(program, memory, "");
  BenchHandOff(program, memory, (memory / "font-matches").string());
  fs::remove_all(memory);
  fs::remove_all(disk);
  return 0;
}
