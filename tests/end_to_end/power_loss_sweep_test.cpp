// Whole runs of the Updater with the power cut after every change in turn:
// whatever survived, two more starts must reach the state of the run that was
// not cut, and main.ini must never be seen torn.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "control/main_window.h"
#include "testing/crash_file_system.h"
#include "platform/host/host_platform.h"
#include "profile/profile_writer.h"
#include "support/device_fixture.h"

namespace nimbora {
namespace {

namespace fs = std::filesystem;

const std::string kApp = "ResidentFlash/Nimbora/";
const std::string kMainIni = kApp + "main.ini";
const std::string kInstalled =
    "[Main]\r\nVersion=1.2.3\r\nUpdate Time=2013-08-16 7:30:00\r\nTitle=Station 7\r\n"
    "[Option]\r\nLangue=English\r\nFrequency=868\r\n";

struct Shape {
  const char* name;
  const char* package;  // the package directory below the root
  const char* deletes;  // "Delete": "all", "2" for the list, or "0"
  const char* updates;  // "Update": "all" or "2" for the list
  bool checksummed = false;  // with a checksum list, as sha256sum writes it
};

const char kCard[] = "Storage Card/Update Nimbora/";
const char kFlash[] = "ResidentFlash/Update Nimbora/";
const Shape kShapes[] = {
    {"card, delete all, update all", kCard, "all", "all"},
    {"card, delete list, update list", kCard, "2", "2"},
    {"card, delete none, update all", kCard, "0", "all"},
    {"flash, delete all, update list", kFlash, "all", "2"},
    {"flash, delete list, update all", kFlash, "2", "all"},
    {"flash, delete none, update list", kFlash, "0", "2"},
    {"card, delete all, update all, checksummed", kCard, "all", "all", true},
    {"flash, delete list, update list, checksummed", kFlash, "2", "2", true},
};

// What data survives the cut: nothing that was not durable; the first change
// since of every file; or everything, with the write the power failed in
// torn after its first byte.
struct Loss {
  int keptChanges;
  size_t tornAt;
  const char* name;
};
const Loss kLosses[] = {{0, kWholeWrite, "durable data only"},
                        {1, kWholeWrite, "one change kept per file"},
                        {kAllChanges, 1, "all data, the last write torn"}};

class PowerLossSweep : public DeviceFixture {
 protected:
  PowerLossSweep() {
    if (fs::is_directory("/dev/shm")) rootParent = "/dev/shm";
  }

  void Lay(const Shape& shape) {
    fs::remove_all(HostPath("ResidentFlash"));
    fs::remove_all(HostPath("Storage Card"));
    WriteHostFile(kMainIni, kInstalled);
    for (const char* file : {"Nimbora.exe", "old.txt", "skins/day.skin", "Database/Param.dat"}) {
      WriteHostFile(kApp + file, "old");
    }
    std::string package = shape.package;
    WriteHostFile(package + "update.ini",
                  std::string("[Main]\r\nVersion=1.10.0\r\nUpdate Time=2013-10-12 18:00:00\r\n") +
                      "Delete=" + shape.deletes + "\r\nUpdate=" + shape.updates +
                      "\r\n[Delete]\r\nfile1=old.txt\r\nfile2=skins\\\r\n"
                      "[Update]\r\nfile1=Nimbora.exe\r\nfile2=maps\\alps.map\r\n");
    WriteHostFile(package + "Nimbora.exe", "new");
    WriteHostFile(package + "maps/alps.map", "alps");
    std::string list = "cd '" + HostPath(package) +
                       "' && sha256sum maps/alps.map Nimbora.exe update.ini > update.sha256";
    if (shape.checksummed) {
      ASSERT_EQ(std::system(list.c_str()), 0);
    }
  }

  // One start of the Updater in this process; with a crash state, through it,
  // the power failing after change cutAfter (0: never), then settling.
  void Start(CrashFileSystemState* crash = nullptr, int cutAfter = 0,
             Loss loss = {kAllChanges, kWholeWrite, ""}) {
    HostOptions options{};
    options.root = root.c_str();
    options.virtualClock = true;
    options.keys = "space,space,space";
    options.fixedFontAdvance = 8;
    char error[200] = "";
    ASSERT_EQ(HostStart(&options, error, sizeof error), 1) << error;
    FileSystem wrapper;
    if (crash != nullptr) {
      InitCrashFileSystem(&wrapper, crash, CurrentFileSystem());
      CutPowerAfter(crash, cutAfter);
      UseFileSystem(&wrapper);
    }
    ProgramEntry(nullptr, u"", 0);
    if (crash != nullptr) {
      UseFileSystem(crash->parent);
      EXPECT_EQ(SettleAfterCut(crash, loss.keptChanges, loss.tornAt), 1);
    }
    HostFinish(0);
  }

  // The tree, without the leftovers of a flash package whose description is
  // gone (taken away first: what they hold may span lines).
  std::string Tree() {
    if (!HostExists("ResidentFlash/Update Nimbora/update.ini")) {
      fs::remove_all(HostPath("ResidentFlash/Update Nimbora"));
    }
    return DescribeHostTree();
  }

  // main.ini as the real writer leaves it after recording the version alone,
  // starting from the given content (nullptr: no file).
  std::string VersionRecordedOver(const char* before) {
    fs::remove_all(HostPath("scratch"));
    MakeHostDirectory("scratch");
    if (before != nullptr) WriteHostFile("scratch/main.ini", before);
    UseFileSystem(&host);
    WriteProfileString(u"Main", u"Version", u"1.10.0", u"\\scratch\\main.ini");
    std::string content = ReadHostFile("scratch/main.ini");
    fs::remove_all(HostPath("scratch"));
    return content;
  }

  // What main.ini may hold at a cut: its old content, its content after each
  // recording, or none once the delete step removed it.
  std::vector<std::string> AllowedMainIni(const Shape& shape, const std::string& final) {
    std::vector<std::string> allowed{kInstalled, VersionRecordedOver(kInstalled.c_str()), final};
    if (std::string(shape.deletes) == "all") {
      allowed.push_back(VersionRecordedOver(nullptr));
      allowed.push_back("(none)");
    }
    return allowed;
  }

  // Between the two moves of a replace (the old content moved aside), the
  // new content waits beside it.
  std::string MainIniAtCut() const {
    if (HostExists(kMainIni)) return ReadHostFile(kMainIni);
    if (!HostExists(kMainIni + "~old")) return "(none)";
    return HostExists(kMainIni + "~new") ? ReadHostFile(kMainIni + "~new") : "(torn replace)";
  }

  std::unique_ptr<CrashFileSystemState> crash = std::make_unique<CrashFileSystemState>();
};

struct Figures {
  int cutPoints = 0;
  int failures = 0;
  std::string first;  // the first failure, described
};

void Count(Figures* figures, const std::string& problem) {
  if (++figures->failures == 1) figures->first = problem;
}

TEST_F(PowerLossSweep, EveryCutEndsInTheCleanStateAndNeverTearsMainIni) {
  for (const Shape& shape : kShapes) {
    Lay(shape);
    Start(crash.get());
    int changes = crash->changes;
    std::string clean = Tree();
    std::vector<std::string> allowed = AllowedMainIni(shape, ReadHostFile(kMainIni));
    Figures figures;
    for (int k = 1; k <= changes; ++k) {
      for (const Loss& loss : kLosses) {
        std::string where = std::string(shape.name) + ", cut after change " + std::to_string(k) +
                            ", " + loss.name;
        Lay(shape);
        Start(crash.get(), k, loss);
        ++figures.cutPoints;
        std::string atCut = MainIniAtCut();
        bool whole = std::find(allowed.begin(), allowed.end(), atCut) != allowed.end();
        Start();
        Start();
        std::string end = Tree();
        if (!whole) {
          Count(&figures, where + ": main.ini holds\n" + atCut);
        } else if (end != clean) {
          Count(&figures, where + ": ends in\n" + end + "instead of\n" + clean);
        }
      }
    }
    printf("%s: %d changes, %d cut points, %d failures\n", shape.name, changes,
           figures.cutPoints, figures.failures);
    EXPECT_EQ(figures.failures, 0) << figures.first;
  }
}

}  // namespace
}  // namespace nimbora
