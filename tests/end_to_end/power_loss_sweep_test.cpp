// Whole runs of the Updater with the power cut after every change in turn:
// whatever survived, two more starts must reach the state of the run that was
// not cut, and main.ini must never be seen torn. The runs start from main.ini
// in place or from a replace that left only main.ini~old, and each may see
// one move of a replace fail (before or after it happened) with the power on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "end_to_end/sweep_device.h"
#include "testing/crash_file_system.h"
#include "profile/profile_writer.h"

namespace nimbora {
namespace {

namespace fs = std::filesystem;

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

// A move that fails once: which (0 for none), and whether it happened.
struct FailedMove {
  int move;
  bool happened;
};

class PowerLossSweep : public SweepDevice {
 protected:
  void Lay(const Shape& shape, bool loneOld) {
    SweepDevice::Lay(shape);
    if (loneOld) fs::rename(HostPath(kMainIni), HostPath(kMainIni + "~old"));
  }

  // One start through the crash file system, the power failing after change
  // cutAfter (0: never), then settling.
  void StartCrashing(int cutAfter, FailedMove failed, Loss loss = {kAllChanges, kWholeWrite, ""}) {
    Start(
        [&](FileSystem* host) {
          InitCrashFileSystem(&wrapper, crash.get(), host);
          CutPowerAfter(crash.get(), cutAfter);
          FailMove(crash.get(), failed.move, failed.happened);
          return &wrapper;
        },
        [&] { EXPECT_EQ(SettleAfterCut(crash.get(), loss.keptChanges, loss.tornAt), 1); });
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
  FileSystem wrapper;
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
  int total = 0;
  for (const Shape& shape : kShapes) {
    Lay(shape, false);
    StartCrashing(0, {0, false});
    int moves = crash->moves;
    std::string clean = Tree();
    std::vector<std::string> allowed = AllowedMainIni(shape, ReadHostFile(kMainIni));
    std::vector<FailedMove> failedMoves{{0, false}};
    for (int move = 1; move <= moves; ++move) {
      failedMoves.push_back({move, false});
      failedMoves.push_back({move, true});
    }
    Figures figures;
    for (bool loneOld : {false, true}) {
      for (const FailedMove& failed : failedMoves) {
        if (loneOld && failed.move != 0) continue;
        Lay(shape, loneOld);
        StartCrashing(0, failed);
        int changes = crash->changes;
        // k 0: the power stays on, and a replace must not end with main.ini aside.
        for (int k = 0; k <= changes; ++k) {
          for (const Loss& loss : kLosses) {
            if (k == 0 && &loss != kLosses) continue;
            std::string where = std::string(shape.name) + (loneOld ? ", only main.ini~old" : "") +
                                ", move " + std::to_string(failed.move) +
                                (failed.happened ? " happened and" : "") + " failed, cut after " +
                                std::to_string(k) + ", " + loss.name;
            Lay(shape, loneOld);
            StartCrashing(k, failed, loss);
            ++figures.cutPoints;
            std::string atCut = MainIniAtCut();
            bool whole = std::find(allowed.begin(), allowed.end(), atCut) != allowed.end() &&
                         (k != 0 || HostExists(kMainIni) || !HostExists(kMainIni + "~old"));
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
      }
    }
    printf("%s: %d moves, %d cut points, %d failures\n", shape.name, moves, figures.cutPoints,
           figures.failures);
    total += figures.cutPoints;
    EXPECT_EQ(figures.failures, 0) << figures.first;
  }
  printf("%d cut points in all\n", total);
}

}  // namespace
}  // namespace nimbora
