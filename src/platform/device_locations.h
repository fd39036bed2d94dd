// Fixed device locations. Directory paths end with a backslash.
#pragma once

namespace nimbora {

constexpr const char16_t* kApplicationDirectory = u"\\ResidentFlash\\Nimbora\\";
constexpr const char16_t* kInstalledStatePath = u"\\ResidentFlash\\Nimbora\\main.ini";
constexpr const char16_t* kCardPackageDirectory = u"\\Storage Card\\Update Nimbora\\";
constexpr const char16_t* kFlashPackageDirectory = u"\\ResidentFlash\\Update Nimbora\\";
constexpr const char16_t* kPackageDescriptionName = u"update.ini";
constexpr const char16_t* kApplicationPath = u"\\ResidentFlash\\Nimbora\\Nimbora.exe";

}  // namespace nimbora
