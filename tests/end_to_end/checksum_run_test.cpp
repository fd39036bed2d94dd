// A package made by nimbora-package make, laid on the device whole or damaged
// as an interrupted or faulty copy leaves it, run by the real nimbora-update:
// a damaged package changes nothing and a whole copy of it is applied later.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "support/device_fixture.h"
#include "support/draw_log.h"

namespace nimbora {
namespace {

namespace fs = std::filesystem;

const std::string kBinary = NIMBORA_BINARY_DIR "/src/programs/";
const std::string kApp = "device/ResidentFlash/Nimbora";
const char kApplied[] = "Successfully updated the files.";
const char kRefused[] = "Failed to update the files.";

struct Damage {
  const char* name;
  bool flash;                                           // the package in flash, not on the card
  std::function<void(const fs::path& package)> damage;  // nullptr: laid whole
};

void Truncate(const fs::path& file) { fs::resize_file(file, fs::file_size(file) / 2); }

void Overwrite(const fs::path& file, long at, char byte) {
  std::fstream stream(file, std::ios::in | std::ios::out | std::ios::binary);
  stream.seekp(at);
  stream.put(byte);
}

const std::vector<Damage>& Damages() {
  static const std::vector<Damage> damages = {
      {"whole", false, nullptr},
      {"a file missing", false, [](const fs::path& p) { fs::remove(p / "maps/alps.map"); }},
      {"a file extra", false, [](const fs::path& p) { std::ofstream(p / "bin/extra.dll") << "x"; }},
      {"a file truncated", false, [](const fs::path& p) { Truncate(p / "bin/lib.dll"); }},
      {"a byte changed", false, [](const fs::path& p) { Overwrite(p / "a.txt", 2, 'Z'); }},
      {"the list truncated", false, [](const fs::path& p) { Truncate(p / "update.sha256"); }},
      {"the list malformed", false, [](const fs::path& p) { Overwrite(p / "update.sha256", 0, 'G'); }},
      {"flash, a file truncated", true, [](const fs::path& p) { Truncate(p / "a.txt"); }},
  };
  return damages;
}

class ChecksumRun : public DeviceFixture {
 protected:
  void SetUp() override {
    DeviceFixture::SetUp();
    WriteHostFile("old/main.ini", "[Main]\r\nVersion=1.0.0\r\n");
    WriteHostFile("old/a.txt", "old text");
    WriteHostFile("new/main.ini", "[Main]\r\nVersion=1.0.1\r\n");
    WriteHostFile("new/a.txt", "new text");
    WriteHostFile("new/maps/alps.map", std::string(30000, 'm'));
    WriteHostFile("new/bin/lib.dll", "library");
    std::string make = kBinary + "nimbora-package make --from '" + HostPath("old") + "' --to '" +
                       HostPath("new") + "' --version 1.0.1 '" + HostPath("made") + "' >/dev/null";
    ASSERT_EQ(std::system(make.c_str()), 0);
    ASSERT_TRUE(HostExists("made/update.sha256"));
  }

  std::string PackageOf(bool flash) const {
    return flash ? "device/ResidentFlash/Update Nimbora" : "device/Storage Card/Update Nimbora";
  }

  // The made package copied to its place, over whatever was there.
  void LayPackage(bool flash) {
    fs::remove_all(HostPath(PackageOf(flash)));
    MakeHostDirectory(PackageOf(flash));
    fs::copy(HostPath("made"), HostPath(PackageOf(flash)), fs::copy_options::recursive);
  }

  // One start; the message texts it drew.
  std::vector<std::string> Start() {
    std::string command = kBinary + "nimbora-update --root '" + HostPath("device") +
                          "' --headless --virtual-clock --keys space --draw-log '" +
                          HostPath("draw.log") + "' 2>/dev/null";
    int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    std::vector<std::string> texts;
    for (const LogEntry& entry : ReadDrawLog(HostPath("draw.log"), "text")) {
      texts.push_back(entry["text"]);
    }
    return texts;
  }

  static bool Drew(const std::vector<std::string>& texts, const std::string& text) {
    for (const std::string& drawn : texts) {
      if (drawn == text) return true;
    }
    return false;
  }
};

TEST_F(ChecksumRun, ADamagedPackageChangesNothingAndAWholeCopyIsAppliedLater) {
  for (const Damage& c : Damages()) {
    SCOPED_TRACE(c.name);
    fs::remove_all(HostPath("device"));
    MakeHostDirectory("device/Storage Card");
    MakeHostDirectory("device/ResidentFlash");
    fs::copy(HostPath("old"), HostPath(kApp), fs::copy_options::recursive);
    LayPackage(c.flash);
    if (c.damage) c.damage(HostPath(PackageOf(c.flash)));
    std::string application = DescribeHostTree(kApp);
    std::string package = DescribeHostTree(PackageOf(c.flash));

    std::vector<std::string> texts = Start();
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts[0], "Update the files ...");
    if (c.damage) {
      EXPECT_TRUE(Drew(texts, kRefused));
      EXPECT_EQ(DescribeHostTree(kApp), application);  // main.ini too: no version recorded
      EXPECT_EQ(DescribeHostTree(PackageOf(c.flash)), package);
      LayPackage(c.flash);
      texts = Start();
    }
    EXPECT_TRUE(Drew(texts, kApplied));
    EXPECT_FALSE(Drew(texts, kRefused));
    EXPECT_EQ(DescribeHostTree(kApp), DescribeHostTree("new"));
  }
}

}  // namespace
}  // namespace nimbora
