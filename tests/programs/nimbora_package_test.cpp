#include <gtest/gtest.h>
#include <sys/wait.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "base/utf8.h"
#include "platform/host/host_platform.h"
#include "support/device_fixture.h"

namespace nimbora {
namespace {

namespace fs = std::filesystem;

const std::string kProgram = NIMBORA_BINARY_DIR "/src/programs/nimbora-package";
const std::string kUpdater = NIMBORA_BINARY_DIR "/src/programs/nimbora-update";
const std::string kSample = NIMBORA_SOURCE_DIR "/examples/device";

using Files = std::map<std::string, std::string>;  // path -> bytes; directories end with "/"

struct Outcome {
  int status;
  std::string output;  // stdout only; stderr goes to errors
  std::string errors;
};

class NimboraPackageTest : public DeviceFixture {
 protected:
  Outcome Run(const std::string& program, const std::string& arguments) {
    std::string command = program + " " + arguments + " >'" + HostPath("out.txt") + "' 2>'" +
                          HostPath("err.txt") + "'";
    int status = std::system(command.c_str());
    return Outcome{WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadHostFile("out.txt"),
                   ReadHostFile("err.txt")};
  }
  std::string Quoted(const std::string& relative) { return "'" + HostPath(relative) + "'"; }
  void CopySample(const std::string& to) {
    fs::copy(kSample, HostPath(to), fs::copy_options::recursive);
    // The stand-in application would log its start into the tree.
    fs::permissions(HostPath(to + "/Storage Card/Update Nimbora/Nimbora.exe"),
                    fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                    fs::perm_options::remove);
  }
  void WriteTree(const std::string& root, const Files& files) {
    for (const auto& [name, bytes] : files) {
      if (name.back() == '/') {
        MakeHostDirectory(root + "/" + name);
      } else {
        WriteHostFile(root + "/" + name, bytes);
      }
    }
  }
  void ApplyPlan(const std::string& output, size_t copies);
  void RunUpdater(const std::string& device) {
    ASSERT_EQ(Run(kUpdater, "--root " + Quoted(device) + " --headless --virtual-clock --keys space").status, 0);
  }
};

// --- make: applying the made package to OLD yields NEW ---------------------

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool TakenIgnoringCase(const Files& files, const std::string& path) {
  for (const auto& [name, bytes] : files) {
    std::string bare = name.back() == '/' ? name.substr(0, name.size() - 1) : name;
    if (Lower(bare) == Lower(path)) return true;
  }
  return false;
}

std::vector<std::string> Directories(const Files& files) {
  std::vector<std::string> directories{""};
  for (const auto& [name, bytes] : files) {
    if (name.back() == '/' && name.rfind("Database", 0) != 0) directories.push_back(name);
  }
  return directories;
}

std::string Settings(const std::string& version, const std::string& title) {
  return "[Main]\r\nTitle=" + title + "\r\nVersion=" + version +
         "\r\nUpdate Time=2026-12-01 10:00:00\r\n[Option]\r\nLangue=English\r\n";
}

class RandomTrees {
 public:
  explicit RandomTrees(unsigned seed) : random(seed) {}
  int Pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(random); }
  std::string Name() {
    static const char* names[] = {"alpha", "Beta", "GAMMA", "delta", "Maps", "skins", ".hidden"};
    static const char* suffixes[] = {"", ".txt", ".bin"};
    return std::string(names[Pick(7)]) + suffixes[Pick(3)];
  }
  void Add(Files* files, bool directory) {
    std::vector<std::string> directories = Directories(*files);
    std::string path = directories[static_cast<size_t>(Pick(static_cast<int>(directories.size())))] + Name();
    if (TakenIgnoringCase(*files, path)) return;
    (*files)[directory ? path + "/" : path] = directory ? "" : "bytes " + std::to_string(Pick(1000));
  }
  void Mutate(Files* files) {
    std::vector<std::string> names;
    for (const auto& [name, bytes] : *files) {
      if (name != "main.ini" && name.rfind("Database", 0) != 0) names.push_back(name);
    }
    if (names.empty()) return Add(files, false);
    std::string victim = names[static_cast<size_t>(Pick(static_cast<int>(names.size())))];
    switch (Pick(5)) {
      case 0: return Add(files, Pick(2) == 0);
      case 1:  // removes the entry with everything below it
        for (auto it = files->lower_bound(victim); it != files->end() && it->first.rfind(victim, 0) == 0;) {
          it = files->erase(it);
        }
        return;
      case 2:
        if (victim.back() != '/') (*files)[victim] += "changed";
        return;
      case 3: return RenameInCase(files, victim);
      default: (*files)["Database/records.csv"] += "new record\r\n";
    }
  }

 private:
  // Flips the letter case of the entry's own name, for it and everything below.
  static void RenameInCase(Files* files, const std::string& victim) {
    size_t end = victim.back() == '/' ? victim.size() - 1 : victim.size();
    size_t start = victim.rfind('/', end - 1) == std::string::npos ? 0 : victim.rfind('/', end - 1) + 1;
    std::string renamed = victim;
    for (size_t i = start; i < end; ++i) {
      char c = renamed[i];
      renamed[i] = static_cast<char>(std::isupper(static_cast<unsigned char>(c)) ? std::tolower(c) : std::toupper(c));
    }
    Files moved;
    for (auto it = files->begin(); it != files->end();) {
      if (it->first.rfind(victim, 0) != 0) {
        ++it;
        continue;
      }
      moved[renamed + it->first.substr(victim.size())] = it->second;
      it = files->erase(it);
    }
    files->insert(moved.begin(), moved.end());
  }
  std::mt19937 random;
};

TEST_F(NimboraPackageTest, AMadePackageAppliedByARealRunYieldsNew) {
  for (unsigned seed = 1; seed <= 16; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    RandomTrees random(seed);
    Files old{{"main.ini", Settings("1.0.0", "Old")},
              {"Database/", ""},
              {"Database/Param.dat", "parameters"},
              {"Database/records.csv", "r1\r\n"}};
    for (int i = 0; i < 8; ++i) random.Add(&old, i % 3 == 0);
    Files fresh = old;
    for (int i = 0; i < 5; ++i) random.Mutate(&fresh);
    fresh["main.ini"] = Settings("1.0.1", seed % 2 == 0 ? "New" : "Old");
    std::string run = "run" + std::to_string(seed);
    WriteTree(run + "/old", old);
    WriteTree(run + "/new", fresh);
    Outcome made = Run(kProgram, "make --from " + Quoted(run + "/old") + " --to " + Quoted(run + "/new") +
                                     " --version 1.0.1 --time '2026-12-01 10:00:00' " + Quoted(run + "/out"));
    ASSERT_EQ(made.status, 0) << made.errors;
    MakeHostDirectory(run + "/device/ResidentFlash");
    MakeHostDirectory(run + "/device/Storage Card");
    fs::copy(HostPath(run + "/old"), HostPath(run + "/device/ResidentFlash/Nimbora"), fs::copy_options::recursive);
    fs::copy(HostPath(run + "/out"), HostPath(run + "/device/Storage Card/Update Nimbora"),
             fs::copy_options::recursive);
    RunUpdater(run + "/device");
    EXPECT_EQ(DescribeHostTree(run + "/device/ResidentFlash/Nimbora"), DescribeHostTree(run + "/new"));
  }
}

TEST_F(NimboraPackageTest, MakeRefusesWhatTheFormatCannotExpress) {
  Files old{{"main.ini", Settings("1.0.0", "Old")}, {"Database/Param.dat", "p"}, {"Update.exe", "u1"}};
  WriteTree("old", old);
  struct Case {
    const char* name;
    std::string path;
    const char* flags;
    int status;
    const char* message;
  } cases[] = {
      {"param changed", "Database/Param.dat", "", 2, "--delete-database"},
      {"param with the flag", "Database/Param.dat", "--delete-database", 0, ""},
      {"updater changed", "Update.exe", "", 2, "Update.exe"},
      {"path too long", std::string(200, 'd') + "/" + std::string(40, 'f'), "", 2, "cannot fit"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Files fresh = old;
    fresh[c.path] = "changed";
    std::string run = std::string("refuse-") + c.name;
    WriteTree(run + "/new", fresh);
    Outcome made = Run(kProgram, std::string("make --from ") + Quoted("old") + " --to " + Quoted(run + "/new") +
                                     " --version 1.0.1 " + c.flags + " " + Quoted(run + "/out"));
    EXPECT_EQ(made.status, c.status);
    EXPECT_NE(made.errors.find(c.message), std::string::npos) << made.errors;
    EXPECT_EQ(HostExists(run + "/out"), c.status == 0);
  }
}

// --- check: the findings, and the plan a real run then carries out --------

// A device path of the plan, in the copy of the device tree "expected".
std::string OnHost(const nlohmann::json& devicePath) {
  std::string path = devicePath.get<std::string>();
  std::replace(path.begin(), path.end(), '\\', '/');
  return "expected" + path;
}

// Carries out check's JSON plan on a copy of "device" named "expected", in
// the run's order (a removed flash package goes last); paths are taken as
// the device takes them.
void NimboraPackageTest::ApplyPlan(const std::string& output, size_t copies) {
  fs::copy(HostPath("device"), HostPath("expected"), fs::copy_options::recursive);
  nlohmann::json plan = nlohmann::json::parse(output);
  auto host = [&](const nlohmann::json& path) {
    char mapped[kHostPathCapacity];
    char16_t wide[kPathCapacity];
    EXPECT_TRUE(Utf16FromUtf8(path.get<std::string>().c_str(), wide, kPathCapacity));
    EXPECT_TRUE(MapDevicePath(HostPath("expected").c_str(), wide, mapped, sizeof mapped));
    return std::string(mapped);
  };
  auto removeWhere = [&](bool inPackage) {
    for (const char* list : {"delete", "removeDirectories"}) {
      for (const nlohmann::json& path : plan[list]) {
        if ((OnHost(path).find("/Update Nimbora/") != std::string::npos) == inPackage) fs::remove(host(path));
      }
    }
  };
  removeWhere(false);
  for (const nlohmann::json& path : plan["createDirectories"]) fs::create_directory(host(path));
  ASSERT_EQ(plan["copy"].size(), copies);
  for (const nlohmann::json& copy : plan["copy"]) {
    fs::copy_file(host(copy["from"]), host(copy["to"]), fs::copy_options::overwrite_existing);
  }
  removeWhere(true);
}

TEST_F(NimboraPackageTest, CheckPlansWhatARealRunDoes) {
  for (const char* place : {"--card", "--flash"}) {
    SCOPED_TRACE(place);
    fs::remove_all(HostPath("device"));
    fs::remove_all(HostPath("expected"));
    CopySample("device");
    if (std::string(place) == "--flash") {
      fs::rename(HostPath("device/Storage Card/Update Nimbora"), HostPath("device/ResidentFlash/Update Nimbora"));
    }
    std::string package = std::string(place) == "--flash" ? "device/ResidentFlash/Update Nimbora"
                                                         : "device/Storage Card/Update Nimbora";
    std::string before = DescribeHostTree("device");
    Outcome check = Run(kProgram, std::string("check --json ") + place + " --device " + Quoted("device") + " " +
                                      Quoted(package));
    ASSERT_EQ(check.status, 0) << check.output << check.errors;
    EXPECT_EQ(DescribeHostTree("device"), before);
    // One spelling a path: directories end with a backslash, none is listed twice.
    nlohmann::json report = nlohmann::json::parse(check.output);
    for (const char* list : {"delete", "createDirectories", "removeDirectories"}) {
      std::set<std::string> seen;
      for (const nlohmann::json& path : report[list]) {
        EXPECT_TRUE(seen.insert(Lower(path.get<std::string>())).second) << list << " " << path;
        EXPECT_EQ(path.get<std::string>().back() == '\\', std::string(list) != "delete") << path;
      }
    }

    ApplyPlan(check.output, 6u);
    RunUpdater("device");
    fs::remove(HostPath("device/ResidentFlash/Nimbora/main.ini"));
    fs::remove(HostPath("expected/ResidentFlash/Nimbora/main.ini"));
    EXPECT_EQ(DescribeHostTree("device"), DescribeHostTree("expected"));
  }
}

// Entries with trailing full stops and blanks, which the device drops, in
// either list: check plans and reports what the real run does.
TEST_F(NimboraPackageTest, CheckPlansTrailingFullStopsAndBlanksAsARealRun) {
  struct Entries {
    const char* deleted;
    const char* updated;
  };
  const Entries cases[] = {
      {"Readme-1.2.3.txt ", "Nimbora.exe "},
      {"Readme-1.2.3.txt.", "Nimbora.exe."},
      {"Charts. \\", "Maps\\Alps.\\relief.map"},
      {"Charts.\\2026\\april.csv .", "Skins.\\storm.skin. ."},
  };
  for (const Entries& entries : cases) {
    SCOPED_TRACE(std::string(entries.deleted) + "|" + entries.updated);
    fs::remove_all(HostPath("device"));
    fs::remove_all(HostPath("expected"));
    CopySample("device");
    // The installed stand-in, which most of these packages keep, would log its start.
    fs::permissions(HostPath("device/ResidentFlash/Nimbora/Nimbora.exe"), fs::perms::all,
                    fs::perm_options::remove);
    fs::permissions(HostPath("device/ResidentFlash/Nimbora/Nimbora.exe"),
                    fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add);
    WriteHostFile("device/Storage Card/Update Nimbora/update.ini",
                  std::string("[Main]\r\nVersion=1.2.4\r\nDelete=1\r\nUpdate=1\r\n[Delete]\r\nfile1=") +
                      entries.deleted + "\r\n[Update]\r\nfile1=" + entries.updated + "\r\n");
    Outcome check = Run(kProgram, "check --json --device " + Quoted("device") + " " +
                                      Quoted("device/Storage Card/Update Nimbora"));
    EXPECT_EQ(check.status, 0) << check.output;
    // The sample panel speaks German.
    EXPECT_EQ(nlohmann::json::parse(check.output)["outcome"], "Die Dateien wurden erfolgreich aktualisiert.");
    ApplyPlan(check.output, 1u);
    RunUpdater("device");
    fs::remove(HostPath("device/ResidentFlash/Nimbora/main.ini"));
    fs::remove(HostPath("expected/ResidentFlash/Nimbora/main.ini"));
    EXPECT_EQ(DescribeHostTree("device"), DescribeHostTree("expected"));
  }
}

struct FindingCase {
  const char* code;
  std::string description;  // update.ini
  Files packageFiles;
  const char* options;
  int status;
  const char* severity = nullptr;  // of the finding, when the row tells
  const char* absent = nullptr;    // a contradicting finding or text that must be gone
};

class CheckFindingTest : public NimboraPackageTest, public ::testing::WithParamInterface<FindingCase> {};

// Each finding on a package made to show it; the device tree never changes.
TEST_P(CheckFindingTest, ReportsTheFindingWithItsCode) {
  const FindingCase& c = GetParam();
  WriteTree("device/ResidentFlash/Nimbora",
            Files{{"main.ini", Settings("1.0.0", "Station")},
                  {"Language.ini", "[English]\r\nUpdate=Update ...\r\n"},
                  {"Database/Param.dat", "p"},
                  {"a.txt", "old"},
                  {"locked.txt", "kept"}});
  SetHostReadOnly("device/ResidentFlash/Nimbora/locked.txt", true);
  WriteTree("device/Windows", Files{{"system.dll", "system"}});
  if (std::string(c.options) == "--flash") WriteHostFile("device/Storage Card/Update Nimbora/update.ini", "[Main]\nVersion=2.0.0\n");
  WriteTree("package", c.packageFiles);
  WriteHostFile("package/update.ini", c.description);
  std::string before = DescribeHostTree("device");
  Outcome check = Run(kProgram, std::string("check --json --device ") + Quoted("device") + " " + c.options + " " +
                                    Quoted("package"));
  EXPECT_EQ(check.status, c.status) << check.output << check.errors;
  EXPECT_EQ(DescribeHostTree("device"), before);
  nlohmann::json report = nlohmann::json::parse(check.output);
  std::set<std::string> seen;
  bool found = false;
  for (const nlohmann::json& finding : report["findings"]) {
    EXPECT_TRUE(seen.insert(finding.dump()).second) << "shown twice: " << finding;
    if (finding["code"] != c.code) continue;
    found = true;
    if (c.severity != nullptr) {
      EXPECT_EQ(finding["severity"], c.severity) << finding;
    }
  }
  EXPECT_TRUE(found) << check.output;
  if (c.absent != nullptr) {
    EXPECT_EQ(check.output.find(c.absent), std::string::npos) << check.output;
  }
  EXPECT_EQ(report["counts"]["errors"].get<int>() > 0, c.status == 1) << check.output;
}

const char kValid[] = "[Main]\r\nVersion=1.0.1\r\nUpdate=1\r\n[Update]\r\nfile1=a.txt\r\n";

INSTANTIATE_TEST_SUITE_P(
    Codes, CheckFindingTest,
    ::testing::Values(
        FindingCase{"fit-approximate", kValid, {{"a.txt", "new"}}, "", 0},
        FindingCase{"version-invalid", "[Main]\nVersion=1.0\nUpdate=1\n[Update]\nfile1=a.txt\n", {{"a.txt", "n"}}, "", 1},
        FindingCase{"version-not-newer", "[Main]\nVersion=1.0.0\nUpdate=1\n[Update]\nfile1=a.txt\n", {{"a.txt", "n"}}, "", 1},
        FindingCase{"other-package-first", kValid, {{"a.txt", "n"}, {"b.txt", "b"}}, "--flash", 1, "error", "files-never-copied"},
        FindingCase{"list-stops-early", "[Main]\nVersion=1.0.1\nDelete=3\n[Delete]\nfile1=a.txt\nfile3=b.txt\n", {}, "", 1},
        FindingCase{"count-beyond-entries", "[Main]\nVersion=1.0.1\nDelete=3\n[Delete]\nfile1=a.txt\n", {}, "", 0},
        FindingCase{"entry-outside", "[Main]\nVersion=1.0.1\nDelete=1\n[Delete]\nfile1=..\\..\\Windows\\\n", {}, "", 1},
        FindingCase{"entry-too-long", "[Main]\nVersion=1.0.1\nUpdate=1\n[Update]\nfile1=" + std::string(235, 'x').append("\n"), {}, "", 1},
        FindingCase{"settings-lost", "[Main]\nVersion=1.0.1\nDelete=all\nUpdate=1\n[Update]\nfile1=a.txt\n", {{"a.txt", "n"}}, "", 1},
        FindingCase{"database-changed", "[Main]\nVersion=1.0.1\nUpdate=1\n[Update]\nfile1=Database\\Param.dat\n", {{"Database/Param.dat", "q"}}, "", 1, "error"},
        // Failed, the copy is still no file "never copied"; its failure is told once.
        FindingCase{"copy-fails", "[Main]\nVersion=1.0.1\nUpdate=1\n[Update]\nfile1=locked.txt\n", {{"locked.txt", "n"}}, "", 1, "error", "files-never-copied"},
        FindingCase{"update-fails", "[Main]\nVersion=1.0.1\nUpdate=1\n[Update]\nfile1=missing.txt\n", {}, "", 1},
        FindingCase{"description-encoding", std::string("\xEF\xBB\xBF") + kValid, {{"a.txt", "n"}}, "", 1},
        FindingCase{"long-line", std::string(kValid) + ";" + std::string(300, 'c') + "\r\n", {{"a.txt", "n"}}, "", 1},
        FindingCase{"time-invalid", "[Main]\nVersion=1.0.1\nUpdate Time=yesterday\nUpdate=1\n[Update]\nfile1=a.txt\n", {{"a.txt", "n"}}, "", 0},
        FindingCase{"entry-names-nothing", "[Main]\nVersion=1.0.1\nDelete=1\n[Delete]\nfile1=none.txt\n", {}, "", 0},
        FindingCase{"files-never-copied", kValid, {{"a.txt", "n"}, {"extra.txt", "e"}}, "", 0},
        FindingCase{"name-not-on-device", kValid, {{"a.txt", "n"}, {"x\\..\\main.ini", "m"}}, "", 1},
        FindingCase{"update-exe-listed", "[Main]\nVersion=1.0.1\nUpdate=1\n[Update]\nfile1=Update.exe\n", {{"Update.exe", "u"}}, "", 0, "warning",
                    "the failed copy fails the update"},
        FindingCase{"settings-replaced", "[Main]\nVersion=1.0.1\nUpdate=1\n[Update]\nfile1=main.ini\n", {{"main.ini", Settings("1.0.0", "Author")}}, "", 1, "error"},
        FindingCase{"settings-lost", "[Main]\nVersion=1.0.1\nDelete=1\n[Delete]\nfile1=main.ini\n", {}, "", 1, "error"},
        FindingCase{"database-changed-deliberately", "[Main]\nVersion=1.0.1\nDelete=1\nDeleteDatabase=true\n[Delete]\nfile1=Database\\\n", {}, "", 0, "warning"},
        FindingCase{"deletes-application", "[Main]\nVersion=1.0.1\nDelete=1\n[Delete]\nfile1=.\\\n", {}, "", 1, "error", "entry-names-nothing"},
        FindingCase{"deletes-application", "[Main]\nVersion=1.0.1\nDelete=1\n[Delete]\nfile1=a.txt\\..\\\n", {}, "", 1, "error", "entry-outside"},
        FindingCase{"directory-without-backslash", "[Main]\nVersion=1.0.1\nDelete=1\n[Delete]\nfile1=Database\n", {}, "", 0, "warning"},
        FindingCase{"file-with-backslash", "[Main]\nVersion=1.0.1\nDelete=1\n[Delete]\nfile1=a.txt\\\n", {}, "", 0, "warning"},
        FindingCase{"keyword-with-blank", "[Main]\nVersion=1.0.1\nUpdate=all \n", {}, "", 0, "warning"},
        FindingCase{"time-read-differently", "[Main]\nVersion=1.0.1\nUpdate Time=2026-11-20T14:05:00\n", {}, "", 0, "warning"},
        FindingCase{"version-read-differently", "[Main]\nVersion=1.2.300\n", {}, "", 0, "warning"},
        FindingCase{"language-missing", "[Main]\nVersion=1.0.1\nUpdate=1\n[Update]\nfile1=Language.ini\n", {{"Language.ini", "[Deutsch]\nUpdate=Neu\n"}}, "", 0, "warning"},
        FindingCase{"flag-reads-off", "[Main]\nVersion=1.0.1\nDelete=all\nDeleteDatabase=yes\nUpdate=1\n[Update]\nfile1=main.ini\n", {{"main.ini", Settings("1.0.0", "Station")}}, "", 0, "warning"},
        FindingCase{"names-differ-in-case", kValid, {{"a.txt", "n"}, {"A.TXT", "N"}}, "", 0, "warning"},
        FindingCase{"list-key-misplaced", "[Main]\nVersion=1.0.1\nUpdate=1\nfile1=a.txt\n", {{"a.txt", "n"}}, "", 1, "warning"},
        FindingCase{"base-differs", "[Main]\n; base 0.9.0\nVersion=1.0.1\n", {}, "", 0, "warning"},
        // Entries written with "/" are copied as the panel copies them.
        FindingCase{"fit-approximate", "[Main]\nVersion=1.0.1\nUpdate=1\n[Update]\nfile1=sub/b.txt\n", {{"sub/b.txt", "b"}}, "", 0, "note", "files-never-copied"},
        FindingCase{"text-cut", "[Main]\nVersion=1.0.1\nUpdate=1\n[Update]\nfile1=Language.ini\n", {{"Language.ini", "[English]\nSuccess=" + std::string(90, 'W') + "\n"}},
                    "", 0}),
    [](const auto& info) {
      std::string name = info.param.code;
      name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
      return name + std::to_string(info.index);
    });

// --- preview ---------------------------------------------------------------

TEST_F(NimboraPackageTest, PreviewWritesTheScreensOfEveryLanguage) {
  CopySample("device");
  std::string before = DescribeHostTree("device");
  Outcome preview = Run(kProgram, "preview --device " + Quoted("device") + " --out " + Quoted("screens") + " " +
                                      Quoted("device/Storage Card/Update Nimbora"));
  ASSERT_EQ(preview.status, 0) << preview.errors;
  EXPECT_EQ(DescribeHostTree("device"), before);
  for (const char* language : {"English", "Deutsch", "Français", "Español"}) {
    std::string png = ReadHostFile(std::string("screens/") + language + "/001.png");
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(png.substr(16, 8), std::string("\0\0\x03\x20\0\0\x01\xE0", 8)) << "800 x 480";
  }
  nlohmann::json report = nlohmann::json::parse(ReadHostFile("screens/report.json"));
  EXPECT_FALSE(report["font"]["file"].get<std::string>().empty());
  ASSERT_EQ(report["languages"].size(), 4u);
  nlohmann::json success = report["languages"][1]["texts"][1];
  EXPECT_EQ(success["text"], "Die Dateien wurden erfolgreich aktualisiert.");
  EXPECT_EQ(success["font"], "small");
  EXPECT_EQ(success["fellBack"], true);
  EXPECT_EQ(success["cut"], false);
}

// --- the command line --------------------------------------------------------

TEST_F(NimboraPackageTest, HelpAndWrongUsage) {
  for (const char* command : {"", "make ", "check ", "preview ", "inspect "}) {
    for (const char* asks : {"--help", "-h"}) {
      Outcome help = Run(kProgram, std::string(command) + asks);
      EXPECT_EQ(help.status, 0) << command << asks;
      EXPECT_EQ(help.output.rfind("usage: nimbora-package " + std::string(command), 0), 0u) << help.output;
    }
  }
  struct Case {
    const char* arguments;
    const char* message;
  } cases[] = {{"", "needs a command"},
               {"pack", "unknown command pack"},
               {"check --fast x", "unknown option --fast"},
               {"check --device", "--device needs a value"},
               {"check x", "--device is required"},
               {"check --device /nonexistent x", "/nonexistent is not a directory"},
               {"check --card --flash --device . x", "exclude each other"},
               {"make --from a --to b x", "--version is required"},
               {"inspect /", "update.ini not found"},
               {"inspect", "needs one directory"}};
  for (const Case& c : cases) {
    Outcome wrong = Run(kProgram, c.arguments);
    EXPECT_EQ(wrong.status, 2) << c.arguments;
    EXPECT_NE(wrong.errors.find(c.message), std::string::npos) << wrong.errors;
  }
}

}  // namespace
}  // namespace nimbora
