#include "control/package_selection.h"

#include <string>

#include "platform/device_locations.h"
#include "support/device_fixture.h"

namespace nimbora {
namespace {

const std::string kMainIni = "ResidentFlash/Nimbora/main.ini";
const std::string kCardIni = "Storage Card/Update Nimbora/update.ini";
const std::string kFlashIni = "ResidentFlash/Update Nimbora/update.ini";

std::string Description(const std::string& version, const std::string& time,
                        const std::string& extra = "") {
  return "[Main]\r\nVersion=" + version + "\r\nUpdate Time=" + time + "\r\n" + extra;
}

class PackageSelectionTest : public DeviceFixture {};

TEST_F(PackageSelectionTest, AppliesNewerVersionsAndLaterTimesWithInstructions) {
  struct Case {
    const char* name;
    std::string installed;  // main.ini content, "" for none
    std::string package;
    bool applicable;
  } cases[] = {
      {"newer version", Description("1.2.3", ""), Description("1.2.4", ""), true},
      {"older version", Description("1.2.3", ""), Description("1.2.2", "2030-01-01 0:00:00"),
       false},
      {"same version, later time, no instructions",
       Description("1.2.3", "2013-08-16 7:30:00"), Description("1.2.3", "2013-08-17 0:00:00"),
       false},
      {"same version, later time, Update count",
       Description("1.2.3", "2013-08-16 7:30:00"),
       Description("1.2.3", "2013-08-17 0:00:00", "Update=2\r\n"), true},
      {"same version, later time, Update all",
       Description("1.2.3", "2013-08-16 7:30:00"),
       Description("1.2.3", "2013-08-17 0:00:00", "Update=ALL\r\n"), true},
      {"same version, later time, Delete count",
       Description("1.2.3", "2013-08-16 7:30:00"),
       Description("1.2.3", "2013-08-17 0:00:00", "Delete=1\r\n"), true},
      {"same version, later time, negative count",
       Description("1.2.3", "2013-08-16 7:30:00"),
       Description("1.2.3", "2013-08-17 0:00:00", "Update=-3\r\nDelete=all \r\n"), false},
      {"same version, same time, Update all",
       Description("1.2.3", "2013-08-16 7:30:00"),
       Description("1.2.3", "2013-08-16 7:30:00", "Update=all\r\n"), false},
      {"no main.ini, version 0.0.1", "", Description("0.0.1", ""), true},
      {"no main.ini, short version, valid time and instructions", "",
       Description("1.0", "2013-01-01 0:00:00", "Delete=1\r\n"), true},
      {"no main.ini, short version, no time", "", Description("1.0", "", "Delete=1\r\n"), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (!c.installed.empty()) WriteHostFile(kMainIni, c.installed);
    WriteHostFile(kCardIni, c.package);
    PackageSelection selection;
    SelectPackage(&selection);
    EXPECT_EQ(selection.source, c.applicable ? PackageSource::Card : PackageSource::None);
    std::remove(HostPath(kMainIni).c_str());
  }
}

TEST_F(PackageSelectionTest, ProbesTheCardFirstThenFlash) {
  WriteHostFile(kMainIni, Description("1.2.3", "2013-08-16 7:30:00"));
  WriteHostFile(kCardIni, Description("1.2.4", "2013-09-01 8:00:00"));
  WriteHostFile(kFlashIni, Description("1.3.0", ""));
  UseFaultWrapper();
  PackageSelection selection;
  SelectPackage(&selection);
  EXPECT_EQ(selection.source, PackageSource::Card);
  EXPECT_EQ(std::u16string(selection.packageDirectory), kCardPackageDirectory);
  EXPECT_EQ(std::u16string(selection.descriptionPath),
            u"\\Storage Card\\Update Nimbora\\update.ini");
  EXPECT_EQ(selection.packageVersion.build, 4);
  EXPECT_EQ(selection.packageTime.month, 9);
  EXPECT_EQ(selection.installedVersion.build, 3);
  EXPECT_EQ(selection.installedTime.hour, 7);
  // The flash package is never opened: main.ini once per key, the card twice.
  EXPECT_EQ(faults.calls[kOperationOpen], 4);

  WriteHostFile(kCardIni, Description("1.2.2", ""));
  SelectPackage(&selection);
  EXPECT_EQ(selection.source, PackageSource::Flash);
  EXPECT_EQ(std::u16string(selection.packageDirectory), kFlashPackageDirectory);
  EXPECT_EQ(selection.packageVersion.minor, 3);
}

TEST_F(PackageSelectionTest, NothingIsSelectedWithoutDescriptions) {
  WriteHostFile(kMainIni, Description("1.2.3", ""));
  PackageSelection selection;
  SelectPackage(&selection);
  EXPECT_EQ(selection.source, PackageSource::None);
  EXPECT_EQ(selection.packageDirectory, nullptr);
  EXPECT_EQ(selection.packageVersion.major, 0);
  EXPECT_EQ(selection.packageTime.year, 0);
}

}  // namespace
}  // namespace nimbora
