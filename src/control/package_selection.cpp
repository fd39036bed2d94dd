#include "control/package_selection.h"

#include "platform/device_locations.h"
#include "base/wide_string.h"
#include "profile/profile_reader.h"

namespace nimbora {

namespace {

constexpr int kValueCapacity = 50;

void ReadVersionAndTime(const char16_t* path, VersionNumber* version, UpdateTime* time) {
  char16_t value[kValueCapacity];
  ReadProfileString(u"Main", u"Version", u"", value, kValueCapacity, path);
  ParseVersion(value, version);
  ReadProfileString(u"Main", u"Update Time", u"", value, kValueCapacity, path);
  ParseUpdateTime(value, time);
}

// "all", or a positive count: the package carries that kind of instruction.
bool HasInstructions(const char16_t* key, const char16_t* path) {
  char16_t value[kValueCapacity];
  ReadProfileString(u"Main", key, u"0", value, kValueCapacity, path);
  return WideCompareNoCase(value, u"all") == 0 || WideToInt(value) > 0;
}

bool Probe(const char16_t* directory, PackageSelection* selection) {
  WideFormat(selection->descriptionPath, kPathCapacity, u"%s%s", directory,
             kPackageDescriptionName);
  return IsPackageApplicable(selection->descriptionPath, &selection->installedVersion,
                             &selection->installedTime, &selection->packageVersion,
                             &selection->packageTime);
}

}  // namespace

bool IsPackageApplicable(const char16_t* descriptionPath, const VersionNumber* installedVersion,
                         const UpdateTime* installedTime, VersionNumber* packageVersion,
                         UpdateTime* packageTime) {
  ReadVersionAndTime(descriptionPath, packageVersion, packageTime);
  int order = CompareVersion(packageVersion, installedVersion);
  if (order != 0) return order > 0;
  // Same version: only a later package that carries instructions counts.
  if (!IsLaterTime(packageTime, installedTime)) return false;
  return HasInstructions(u"Update", descriptionPath) || HasInstructions(u"Delete", descriptionPath);
}

void SelectPackage(PackageSelection* selection) {
  *selection = PackageSelection{};
  ReadVersionAndTime(kInstalledStatePath, &selection->installedVersion, &selection->installedTime);
  if (Probe(kCardPackageDirectory, selection)) {
    selection->source = PackageSource::Card;
    selection->packageDirectory = kCardPackageDirectory;
  } else if (Probe(kFlashPackageDirectory, selection)) {
    selection->source = PackageSource::Flash;
    selection->packageDirectory = kFlashPackageDirectory;
  }
}

}  // namespace nimbora
