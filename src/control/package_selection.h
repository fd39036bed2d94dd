// The first half of the update run: what is installed, and which package
// (card first, then flash) is to be applied.
#pragma once

#include "platform/file_system.h"
#include "version/version_values.h"

namespace nimbora {

enum class PackageSource { None, Card, Flash };

struct PackageSelection {
  PackageSource source;
  VersionNumber installedVersion;
  UpdateTime installedTime;
  // Values of the last package examined: the selected one, or the flash
  // location's (all zero without a description there).
  VersionNumber packageVersion;
  UpdateTime packageTime;
  const char16_t* packageDirectory;  // nullptr when nothing is selected
  char16_t descriptionPath[kPathCapacity];
};

// How a package stands against the installed state: by version first, then,
// at the same version, by update time.
enum class PackageOrder { OlderVersion, NewerVersion, SameVersionNotLater, SameVersionLater };
PackageOrder OrderOfPackage(const VersionNumber* packageVersion, const UpdateTime* packageTime,
                            const VersionNumber* installedVersion, const UpdateTime* installedTime);

enum class PackageInstructions { None, Some };
// Whether a package so placed is newer than what is installed: a newer
// version always is; the same version with a later time only with instructions.
bool IsNewerPackage(PackageOrder order, PackageInstructions instructions);

bool IsPackageApplicable(const char16_t* descriptionPath, const VersionNumber* installedVersion,
                         const UpdateTime* installedTime, VersionNumber* packageVersion,
                         UpdateTime* packageTime);

void SelectPackage(PackageSelection* selection);

}  // namespace nimbora
