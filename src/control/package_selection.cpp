#include "control/package_selection.h"

#include "package/package_format.h"
#include "platform/device_locations.h"
#include "base/wide_string.h"
#include "profile/profile_reader.h"

namespace nimbora {

namespace {

constexpr int kValueCapacity = 50;

void ReadVersionAndTime(const char16_t* path, VersionNumber* version, UpdateTime* time) {
  char16_t value[kValueCapacity];
  ReadProfileString(kMainSection, kVersionKey, u"", value, kValueCapacity, path);
  ParseVersion(value, version);
  ReadProfileString(kMainSection, kUpdateTimeKey, u"", value, kValueCapacity, path);
  ParseUpdateTime(value, time);
}

// "all", or a positive count: the package carries that kind of instruction.
bool HasInstructions(const char16_t* key, const char16_t* path) {
  char16_t value[kValueCapacity];
  ReadProfileString(kMainSection, key, u"0", value, kValueCapacity, path);
  return WideCompareNoCase(value, kAllKeyword) == 0 || WideToInt(value) > 0;
}

bool Probe(const char16_t* directory, PackageSelection* selection) {
  WideFormat(selection->descriptionPath, kPathCapacity, u"%s%s", directory,
             kPackageDescriptionName);
  return IsPackageApplicable(selection->descriptionPath, &selection->installedVersion,
                             &selection->installedTime, &selection->packageVersion,
                             &selection->packageTime);
}

}  // namespace

PackageOrder OrderOfPackage(const VersionNumber* packageVersion, const UpdateTime* packageTime,
                            const VersionNumber* installedVersion, const UpdateTime* installedTime) {
  int order = CompareVersion(packageVersion, installedVersion);
  if (order != 0) return order > 0 ? PackageOrder::NewerVersion : PackageOrder::OlderVersion;
  return IsLaterTime(packageTime, installedTime) ? PackageOrder::SameVersionLater
                                                 : PackageOrder::SameVersionNotLater;
}

bool IsNewerPackage(PackageOrder order, PackageInstructions instructions) {
  return order == PackageOrder::NewerVersion ||
         (order == PackageOrder::SameVersionLater && instructions == PackageInstructions::Some);
}

bool IsPackageApplicable(const char16_t* descriptionPath, const VersionNumber* installedVersion,
                         const UpdateTime* installedTime, VersionNumber* packageVersion,
                         UpdateTime* packageTime) {
  ReadVersionAndTime(descriptionPath, packageVersion, packageTime);
  PackageOrder order = OrderOfPackage(packageVersion, packageTime, installedVersion, installedTime);
  // The instructions are read only when they can decide.
  if (order != PackageOrder::SameVersionLater) return IsNewerPackage(order, PackageInstructions::None);
  bool some = HasInstructions(kUpdateKey, descriptionPath) || HasInstructions(kDeleteKey, descriptionPath);
  return IsNewerPackage(order, some ? PackageInstructions::Some : PackageInstructions::None);
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
