// A device tree in a scratch directory with a host session over it (virtual
// clock, draw log) for the display tests.
#pragma once

#include <string>
#include <vector>

#include "platform/window.h"
#include "support/device_fixture.h"

namespace nimbora {

class DisplayTest : public DeviceFixture {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Restarts the host session with these key presses for the key waits.
  void RestartHost(const char* keys);
  // A window that only does default processing, for drawing tests.
  Window* OpenPlainWindow();
  void WriteMainIni(const std::string& text) const;
  void WriteLanguageIni(const std::string& bytes) const;
  void InstallApplication() const;  // a Nimbora.exe that can be started
  // Log lines, optionally only those of one operation ("text", "launch", ...).
  std::vector<std::string> LogLines(const std::string& op = "") const;
  // The texts drawn, in order, each as "text|top of its rectangle|format|font".
  std::vector<std::string> DrawnTexts() const;

 private:
  void StartHost(const char* keys);
};

}  // namespace nimbora
