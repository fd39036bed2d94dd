// Whole runs of the Updater with the card pulled (or the flash failing) at
// every call on it in turn, and with the volume flush failing: success is
// shown only with every file in place, and once the medium is back the next
// start ends in the clean update.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "end_to_end/sweep_device.h"
#include "testing/fault_file_system.h"

namespace nimbora {
namespace {

class FailingMediaSweep : public SweepDevice {
 protected:
  // One start through the fault wrapper, arm setting its faults.
  void StartFaulty(void (*arm)(FaultFileSystemState* faults, int k), int k) {
    Start([&](FileSystem* host) {
      InitFaultFileSystem(&faulty, &faults, host);
      arm(&faults, k);
      return &faulty;
    });
  }
};

const char16_t* MediumOf(const Shape& shape) {
  return shape.package[0] == 'S' ? u"\\Storage Card\\" : u"\\ResidentFlash\\";
}

TEST_F(FailingMediaSweep, APulledMediumIsNeverASuccessWithFilesMissing) {
  static const char16_t* medium;
  int total = 0;
  for (const Shape& shape : kShapes) {
    medium = MediumOf(shape);
    Lay(shape);
    StartFaulty([](FaultFileSystemState* f, int) { PullMedium(f, medium, 0, 0); }, 0);
    int calls = faults.medium.calls;
    std::string clean = Tree();
    std::string cleanApplication = InstalledTree();
    int wrong = 0;
    std::string first;
    for (int k = 1; k <= calls; ++k) {
      Lay(shape);
      StartFaulty([](FaultFileSystemState* f, int n) {
        PullMedium(f, medium, n, kErrorPathNotFound);
      }, k);
      bool falseSuccess = outcome == "success" && InstalledTree() != cleanApplication;
      Start();  // the medium is back
      if ((falseSuccess || Tree() != clean) && ++wrong == 1) {
        first = std::string(shape.name) + ", pulled at call " + std::to_string(k) +
                (falseSuccess ? ": success with\n" + ApplicationTree() : ": ends in\n" + Tree());
      }
    }
    printf("%s: %d pull points, %d wrong end states\n", shape.name, calls, wrong);
    total += calls;
    EXPECT_EQ(wrong, 0) << first;
  }
  printf("%d pull points in all\n", total);
}

TEST_F(FailingMediaSweep, AFailedFlushIsAFailureAndNotRecorded) {
  for (const Shape& shape : kShapes) {
    Lay(shape);
    Start();
    std::string clean = Tree();
    Lay(shape);
    StartFaulty([](FaultFileSystemState* f, int) {
      FailCall(f, kOperationFlushVolume, 1, kErrorWriteFault, false);
    }, 0);
    EXPECT_EQ(outcome, "failure") << shape.name;
    std::string recorded = HostExists(kMainIni) ? ReadHostFile(kMainIni) : "";
    EXPECT_EQ(recorded.find("1.10.0"), std::string::npos) << shape.name;
    Start();
    EXPECT_EQ(outcome, "success") << shape.name;
    EXPECT_EQ(Tree(), clean) << shape.name;
  }
}

}  // namespace
}  // namespace nimbora
