// One profile file on a test device, handled as bytes, and the byte forms
// the tests build their files from.
#pragma once

#include <string>

#include "support/device_fixture.h"

namespace nimbora {

class ProfileFileTest : public DeviceFixture {
 protected:
  static constexpr const char16_t* kFile = u"\\profile.ini";
  void Store(const std::string& bytes) const { WriteHostFile("profile.ini", bytes); }
  std::string Stored() const { return ReadHostFile("profile.ini"); }
};

// The units as little-endian bytes.
std::string Utf16Units(const std::u16string& text);
// A UTF-16 file (mark FF FE) holding the 8-bit text, one unit per byte.
std::string Utf16File(const std::string& text);
// Every LF turned into CR LF.
std::string WithCrLf(const std::string& text);

}  // namespace nimbora
