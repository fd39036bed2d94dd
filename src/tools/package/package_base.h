// The version a package was made from, kept in its update.ini as a comment
// line of section "Main" that the panel's reader passes over (IsIgnoredLine),
// so make can record it and check and the summary can tell it.
#pragma once

#include <optional>
#include <string>

#include "platform/file_system.h"

namespace nimbora {

// The line is this prefix followed by the version text, e.g. "; base 1.2.3".
constexpr const char16_t* kPackageBasePrefix = u"; base ";

// The line make writes for a package made from OLD's version text.
std::u16string PackageBaseLine(const std::u16string& version);
// The base version text recorded in the description at path (a device path
// on fileSystem), or none when it holds no such line in section "Main".
std::optional<std::u16string> ReadPackageBase(FileSystem* fileSystem, const std::u16string& path);

}  // namespace nimbora
