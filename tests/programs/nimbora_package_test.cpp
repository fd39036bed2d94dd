#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "base/utf8.h"
#include "display/status_screen.h"
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
    // Each panel keeps its settings and its database unless the author says otherwise.
    bool replace = seed % 2 == 0;
    fresh["main.ini"] = Settings("1.0.1", replace ? "New" : "Old");
    std::string flags = replace ? " --replace-settings" : "";
    if (fresh["Database/records.csv"] != old["Database/records.csv"]) flags += " --delete-database";
    std::string run = "run" + std::to_string(seed);
    WriteTree(run + "/old", old);
    WriteTree(run + "/new", fresh);
    Outcome made = Run(kProgram, "make --from " + Quoted(run + "/old") + " --to " + Quoted(run + "/new") +
                                     " --version 1.0.1 --time '2026-12-01 10:00:00'" + flags + " " +
                                     Quoted(run + "/out"));
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

// Each row changes a copy of OLD into NEW (and may change OLD): make either
// writes a verified package or refuses with the reason and writes nothing.
TEST_F(NimboraPackageTest, MakeRefusesWhatWouldHarmAPanel) {
  Files old{{"main.ini", Settings("1.0.0", "Old")},
            {"Database/Param.dat", "p"},
            {"Database/records.csv", "r1\r\n"},
            {"Update.exe", "u1"},
            {"notes.txt", "n1"}};
  using Edit = std::function<void(const std::string& run)>;
  auto put = [this](const std::string& path, const std::string& bytes) -> Edit {
    return [=](const std::string& run) { WriteHostFile(run + "/new/" + path, bytes); };
  };
  auto remove = [this](const std::string& path) -> Edit {
    return [=](const std::string& run) { fs::remove(HostPath(run + "/new/" + path)); };
  };
  struct Case {
    const char* name;
    Edit edit;
    std::string flags;
    int status;
    const char* message;
    std::string out = "out";
  } cases[] = {
      {"param changed", put("Database/Param.dat", "changed"), "", 2, "--delete-database"},
      {"param with the flag", put("Database/Param.dat", "changed"), "--delete-database", 0, ""},
      {"records changed", put("Database/records.csv", "r2"), "", 2, "Database\\records.csv would replace"},
      {"records removed", remove("Database/records.csv"), "", 2, "removing Database\\records.csv"},
      {"records removed with the flag", remove("Database/records.csv"), "--delete-database", 0, ""},
      {"settings changed", put("main.ini", Settings("1.0.1", "New")), "", 0, "pass --replace-settings"},
      {"updater changed", put("Update.exe", "u2"), "", 2, "Update.exe"},
      {"path too long", put(std::string(200, 'd') + "/" + std::string(40, 'f'), "x"), "", 2, "cannot fit"},
      {"version part over 255", put("notes.txt", "n2"), "--version 1.2.300", 2, "read by the panel as 1.2.44"},
      {"version of one number", put("notes.txt", "n2"), "--version 12345", 2, "as 57.0.0"},
      {"version not newer", put("notes.txt", "n2"), "--version 1.0.0", 2,
       "version 1.0.0 is not newer than OLD's 1.0.0, and no --time"},
      {"time with a T", put("notes.txt", "n2"), "--time 2026-11-20T14:05:00", 2, "\"2026-11-20 0:00:00\""},
      {"read-only file overwritten",
       [this](const std::string& run) {
         SetHostReadOnly(run + "/old/notes.txt", true);
         WriteHostFile(run + "/new/notes.txt", "n2");
       },
       "", 2, "OLD's notes.txt is read-only: a panel refuses to overwrite it"},
      {"read-only file deleted",
       [this](const std::string& run) {
         SetHostReadOnly(run + "/old/notes.txt", true);
         fs::remove(HostPath(run + "/new/notes.txt"));
       },
       "", 2, "a panel does not delete it by name"},
      {"link in NEW",
       [this](const std::string& run) {
         fs::create_symlink("notes.txt", HostPath(run + "/new/link.txt"));
       },
       "", 2, "a symbolic link"},
      {"NEW without main.ini", remove("main.ini"), "", 2, "NEW has no main.ini"},
      {"update.ini in NEW", put("update.ini", "[Main]\r\n"), "", 2, "a package's own file"},
      {"names differing in case", put("NOTES.TXT", "n2"), "", 2, "only in letter case"},
      {"a backslash in a name", put("a\\b.txt", "x"), "", 2, "a name no panel can hold"},
      {"OUT inside --to", put("notes.txt", "n2"), "", 2, "is inside --to", "new/out"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string run = std::string("refuse-") + c.name;
    WriteTree(run + "/old", old);
    WriteTree(run + "/new", old);
    WriteHostFile(run + "/new/main.ini", Settings("1.0.1", "Old"));
    c.edit(run);
    std::string flags = c.flags.find("--version") == std::string::npos ? "--version 1.0.1 " + c.flags : c.flags;
    Outcome made = Run(kProgram, "make --from " + Quoted(run + "/old") + " --to " + Quoted(run + "/new") + " " +
                                     flags + " " + Quoted(run + "/" + c.out));
    EXPECT_EQ(made.status, c.status) << made.errors;
    EXPECT_NE(made.errors.find(c.message), std::string::npos) << made.errors;
    EXPECT_EQ(HostExists(run + "/" + c.out), c.status == 0);
    if (c.status == 0) {
      EXPECT_EQ(ReadHostFile(run + "/out/update.ini").find("main.ini"), std::string::npos);
    }
  }
}

// Directory order differs between file systems (creation order on tmpfs, a
// hash on ext4): the package must not.
TEST_F(NimboraPackageTest, MakeWritesTheSamePackageWhateverTheDirectoryOrder) {
  std::vector<std::pair<std::string, std::string>> old{
      {"main.ini", Settings("1.0.0", "Old")}, {"gone/.keep", "k"}, {"gone/x/y.txt", "y"}, {"b.txt", "b"},
      {"Maps/_a.map", "1"}, {"Maps/b.map", "2"}, {"Maps/C.map", "3"}, {"stay/z.txt", "z"}, {"stay/Z1.txt", "z"}};
  std::vector<std::pair<std::string, std::string>> fresh{
      {"main.ini", Settings("1.0.1", "Old")}, {"b.txt", "b2"}, {"a.txt", "a"}, {"Maps/_a.map", "1"},
      {"Maps/b.map", "2b"}, {"Maps/C.map", "3"}, {"stay/z.txt", "z2"}, {"stay/Z1.txt", "z2"}, {"New/x.txt", "x"},
      {"new2/y.txt", "y"}};
  char shared[] = "/dev/shm/nimbora-make-XXXXXX";
  std::string elsewhere = fs::is_directory("/dev/shm") && mkdtemp(shared) != nullptr ? shared : HostPath("other");
  std::vector<std::string> packages;
  for (const std::string& root : {HostPath("first"), elsewhere}) {
    bool reversed = root == elsewhere;
    for (auto [tree, files] : {std::pair{"/old/", old}, std::pair{"/new/", fresh}}) {
      if (reversed) std::reverse(files.begin(), files.end());
      for (const auto& [name, bytes] : files) {
        fs::create_directories(fs::path(root + tree + name).parent_path());
        std::ofstream(root + tree + name, std::ios::binary) << bytes;
      }
    }
    Outcome made = Run(kProgram, "make --from '" + root + "/old' --to '" + root + "/new' --version 1.0.1 '" +
                                     root + "/out'");
    ASSERT_EQ(made.status, 0) << made.errors;
    std::ifstream description(root + "/out/update.ini", std::ios::binary);
    std::ifstream list(root + "/out/update.sha256", std::ios::binary);
    std::stringstream both;
    both << description.rdbuf() << list.rdbuf();
    packages.push_back(both.str());
  }
  fs::remove_all(elsewhere);
  EXPECT_EQ(packages[0], packages[1]);
  // The deletes go inner first; a directory with anything new or changed is one entry.
  EXPECT_NE(packages[0].find("Delete=2\r\nUpdate=6\r\n\r\n[Delete]\r\nfile1=gone\\.keep\r\nfile2=gone\\\r\n"),
            std::string::npos) << packages[0];
  EXPECT_NE(packages[0].find("file1=a.txt\r\nfile2=b.txt\r\nfile3=Maps\\\r\nfile4=new2\\\r\n"
                             "file5=New\\\r\nfile6=stay\\\r\n"), std::string::npos) << packages[0];
}

// A write that fails leaves nothing behind, beside OUT either.
TEST_F(NimboraPackageTest, MakeLeavesNothingWhenAWriteFails) {
  WriteTree("old", {{"main.ini", Settings("1.0.0", "Old")}});
  WriteTree("new", {{"main.ini", Settings("1.0.1", "Old")}, {"big.bin", std::string(8192, 'b')}});
  struct Case {
    const char* name;
    const char* prefix;  // run before the program in the same shell
    bool readOnlyParent;
  } cases[] = {{"a file too large for the limit", "trap '' XFSZ; ulimit -f 4; ", false},
               {"a read-only parent", "", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.readOnlyParent && geteuid() == 0) continue;  // root writes there all the same
    std::string parent = std::string("parent-") + (c.readOnlyParent ? "ro" : "limit");
    MakeHostDirectory(parent);
    if (c.readOnlyParent) fs::permissions(HostPath(parent), fs::perms::owner_write, fs::perm_options::remove);
    Outcome made = Run(c.prefix + kProgram, "make --from " + Quoted("old") + " --to " + Quoted("new") +
                                                " --version 1.0.1 " + Quoted(parent + "/out"));
    fs::permissions(HostPath(parent), fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(made.status, 2);
    EXPECT_NE(made.errors.find("cannot write"), std::string::npos) << made.errors;
    EXPECT_NE(made.errors.find("no package written"), std::string::npos) << made.errors;
    EXPECT_TRUE(made.output.empty()) << made.output;
    EXPECT_TRUE(fs::is_empty(HostPath(parent)));
  }
}

// Only --replace-settings lets "Delete" = all empty a panel, and NEW's main.ini comes with it.
TEST_F(NimboraPackageTest, MakeReplacesSettingsOnlyWhenAsked) {
  WriteTree("old", {{"main.ini", Settings("1.0.0", "Old")}, {"Database/Param.dat", "p"}, {"a.txt", "a"}});
  WriteTree("new", {{"main.ini", Settings("1.0.1", "New")}, {"Database/Param.dat", "p"}, {"b/c.txt", "c"}});
  Outcome made = Run(kProgram, "make --from " + Quoted("old") + " --to " + Quoted("new") +
                                   " --version 1.0.1 --replace-settings --json " + Quoted("out"));
  ASSERT_EQ(made.status, 0) << made.errors;
  nlohmann::json summary = nlohmann::json::parse(made.output);
  EXPECT_EQ(summary["delete"], "all");
  EXPECT_EQ(summary["updates"], nlohmann::json::array({"main.ini", "b\\"}));
  EXPECT_EQ(summary["base"], "1.0.0");
  EXPECT_EQ(summary["bytes"], Settings("1.0.1", "New").size() + 1);
  EXPECT_EQ(ReadHostFile("out/main.ini"), Settings("1.0.1", "New"));
  EXPECT_NE(ReadHostFile("out/update.ini").find("[Main]\r\n; base 1.0.0\r\n"), std::string::npos);
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

struct PreviewCase {
  const char* name;
  bool updatedFirst;  // the sample's package applied already: preview applies nothing
  std::vector<std::string> screens;  // every language's, in order
};

class PreviewTest : public NimboraPackageTest, public ::testing::WithParamInterface<PreviewCase> {};

std::string KeyName(const ScreenText& entry) {
  std::string key;
  for (const char16_t* c = entry.key; *c != 0; ++c) key += static_cast<char>(*c);
  return key;
}

// The key of the text that tells each kind of screen.
const std::map<std::string, std::string> kScreenKeys{
    {"update", KeyName(kUpdateText)}, {"success", KeyName(kSuccessText)}, {"error", KeyName(kErrorText)},
    {"launch", KeyName(kStartText)}, {"open-failed", KeyName(kOpenText)}};

TEST_P(PreviewTest, EveryScreenOfEveryLanguageOnceWithItsTexts) {
  const PreviewCase& c = GetParam();
  CopySample("device");
  if (c.updatedFirst) RunUpdater("device");
  std::string before = DescribeHostTree("device");
  Outcome preview = Run(kProgram, "preview --device " + Quoted("device") + " --out " + Quoted("screens") + " " +
                                      Quoted("device/Storage Card/Update Nimbora"));
  ASSERT_EQ(preview.status, 0) << preview.errors;
  EXPECT_EQ(preview.errors.find("not applied") != std::string::npos, c.updatedFirst) << preview.errors;
  EXPECT_EQ(DescribeHostTree("device"), before);
  nlohmann::ordered_json report = nlohmann::ordered_json::parse(ReadHostFile("screens/report.json"));
  EXPECT_EQ(report.begin().key(), "applied");
  EXPECT_EQ(report["applied"], !c.updatedFirst);
  EXPECT_EQ(report["outcome"], c.updatedFirst ? nlohmann::ordered_json(nullptr) : "success");
  EXPECT_FALSE(report["font"]["file"].get<std::string>().empty());
  std::set<std::string> keys;
  for (const ScreenText* entry : kScreenTexts) keys.insert(KeyName(*entry));
  std::string sheet = ReadHostFile("screens/index.html");
  std::vector<std::string> languages;
  for (const auto& language : report["languages"]) {
    std::string name = language["language"];
    languages.push_back(name);
    std::vector<std::string> expected;
    for (const std::string& screen : c.screens) expected.push_back(name + "/" + screen);
    ASSERT_EQ(language["screens"], expected) << name;
    std::map<std::string, std::string> drawn;  // PNG bytes -> file
    for (const auto& kind : language["screenKinds"]) {
      std::string file = kind["file"];
      std::string png = ReadHostFile("screens/" + file);
      ASSERT_GT(png.size(), 24u) << file;
      EXPECT_EQ(png.substr(16, 8), std::string("\0\0\x03\x20\0\0\x01\xE0", 8)) << "800 x 480";
      EXPECT_TRUE(drawn.emplace(png, file).second) << file << " shows what " << drawn[png] << " shows";
      EXPECT_EQ(kind["otherOutcome"], file.find("other-outcome") != std::string::npos) << file;
      EXPECT_NE(sheet.find("alt=\"" + file + "\""), std::string::npos) << file;
      bool told = false;
      for (const auto& text : language["texts"]) {
        if (text["screen"] != file) continue;
        told = told || text["key"] == kScreenKeys.at(kind["kind"]);
        EXPECT_TRUE(text["key"].is_null() || keys.count(text["key"]) == 1) << text;
        EXPECT_EQ(text["language"], name);
        EXPECT_EQ(text["bandWidth"], 760) << text;
        EXPECT_GT(text["textWidth"], 0) << text;
        EXPECT_EQ(text["fellBack"], text["font"] == "small") << text;
        EXPECT_EQ(text["cut"], text["textWidth"] > 760 && text["font"] != "small") << text;
      }
      EXPECT_TRUE(told) << file << " has no " << kScreenKeys.at(kind["kind"]) << " text";
    }
  }
  EXPECT_EQ(languages, (std::vector<std::string>{"English", "Deutsch", "Français", "Español"}));
  if (c.updatedFirst) return;
  nlohmann::ordered_json success = report["languages"][1]["texts"][1];
  EXPECT_EQ(success["text"], "Die Dateien wurden erfolgreich aktualisiert.");
  EXPECT_EQ(success["font"], "small");
  EXPECT_EQ(success["size"]["height"], 24);
  // Spanish is new with the package: its "Update" text is not there yet.
  nlohmann::ordered_json update = report["languages"][3]["texts"][0];
  EXPECT_EQ(update["text"], "Update the files ...");
  EXPECT_EQ(update["defaultShown"]["reason"], "language-file-not-yet-copied");
  EXPECT_NE(sheet.find("built-in English text"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Packages, PreviewTest,
    ::testing::Values(PreviewCase{"Applied", false, {"1-update.png", "2-success.png", "2-error-other-outcome.png",
                                                     "3-launch.png", "4-open-failed.png"}},
                      PreviewCase{"NotApplied", true, {"3-launch.png", "4-open-failed.png"}}),
    [](const auto& info) { return std::string(info.param.name); });

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
