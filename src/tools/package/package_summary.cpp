#include "package_summary.h"

#include <cstdio>
#include <string>
#include <vector>

#include "package/package_checksums.h"
#include "package/package_format.h"
#include "platform/device_locations.h"
#include "package_checksum_list.h"
#include "package_tool.h"
#include "profile/profile_reader.h"

namespace nimbora {

namespace {

// A value of the description as the panel reads it ("" when there is none).
std::string DescriptionValue(const std::u16string& description, const char16_t* key) {
  char16_t value[kPathCapacity];
  ReadProfileString(kMainSection, key, u"", value, kPathCapacity, description.c_str());
  return Utf8(value);
}

const char* ListState(const std::vector<ChecksumFinding>& findings) {
  if (findings.size() == 1 && std::string(findings[0].severity) == "note") return "absent";
  return findings.empty() ? "holds" : "does not hold";
}

}  // namespace

int RunSummary(const char* packageDir, std::string* error) {
  HostTree tree;
  if (!OpenHostTree(packageDir, &tree, error)) return kToolUsageStatus;
  std::u16string description = std::u16string(u"\\") + kPackageDescriptionName;
  std::string ignored;
  if (!ReadWholeFile(&tree.fileSystem, description, &ignored)) {
    *error = std::string(packageDir) + "/" + Utf8(kPackageDescriptionName) + " not found";
    return kToolUsageStatus;
  }
  // The description and the list are read by the panel's own code, which
  // reads the installed file system.
  FileSystem* previous = CurrentFileSystem();
  UseFileSystem(&tree.fileSystem);
  std::printf("Package %s\n", packageDir);
  std::printf("Version:     %s\n", DescriptionValue(description, kVersionKey).c_str());
  std::printf("Update Time: %s\n", DescriptionValue(description, kUpdateTimeKey).c_str());
  std::vector<ChecksumFinding> findings = CheckChecksumList(&tree.fileSystem, u"\\");
  UseFileSystem(previous);
  std::printf("%s: %s\n", Utf8(kChecksumListName).c_str(), ListState(findings));
  int errors = 0;
  for (const ChecksumFinding& finding : findings) {
    std::printf("  %s %s: %s\n", finding.severity, finding.code, finding.message.c_str());
    errors += std::string(finding.severity) == "error";
  }
  std::printf("%d error(s)\n", errors);
  return errors > 0 ? 1 : 0;
}

}  // namespace nimbora
