#include "package_base.h"

#include "base/wide_string.h"
#include "package/package_format.h"
#include "package_tool.h"
#include "profile/profile_syntax.h"

namespace nimbora {

std::u16string PackageBaseLine(const std::u16string& version) { return kPackageBasePrefix + version; }

std::optional<std::u16string> ReadPackageBase(FileSystem* fileSystem, const std::u16string& path) {
  const std::u16string prefix = kPackageBasePrefix;
  bool inMain = false;
  for (std::u16string line : ReadProfileLines(fileSystem, path.c_str())) {
    if (!line.empty() && line.back() == u'\n') line.pop_back();
    if (IsHeader(line.c_str())) inMain = IsHeaderOf(line.c_str(), kMainSection);
    if (!line.empty() && line.back() == u'\r') line.pop_back();
    if (inMain && IsIgnoredLine(line.c_str()) && line.compare(0, prefix.size(), prefix) == 0) {
      return line.substr(prefix.size());
    }
  }
  return std::nullopt;
}

}  // namespace nimbora
