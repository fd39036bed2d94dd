// The checksum list of nimbora-package: make writes one that sha256sum
// accepts, --no-checksums leaves it out, and check names each damage.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/device_fixture.h"

namespace nimbora {
namespace {

namespace fs = std::filesystem;

const std::string kProgram = NIMBORA_BINARY_DIR "/src/programs/nimbora-package";

class PackageChecksumList : public DeviceFixture {
 protected:
  int Shell(const std::string& command) {
    int status = std::system((command + " >'" + HostPath("out.txt") + "' 2>&1").c_str());
    output = ReadHostFile("out.txt");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  // Names that sort differently by bytes and by the device's letter-case
  // order ("B" < "a" < "c" by bytes), a nested one, a hidden one left out.
  int Make(const std::string& options) {
    WriteHostFile("old/main.ini", "[Main]\r\nVersion=1.0.0\r\n");
    for (const char* name : {"B.txt", "a.txt", "c/Z.bin", "c/y.bin", "\xC3\xA9t\xC3\xA9.txt"}) {
      WriteHostFile(std::string("new/") + name, name);
    }
    WriteHostFile("new/main.ini", "[Main]\r\nVersion=1.0.1\r\n");
    return Shell(kProgram + " make --from '" + HostPath("old") + "' --to '" + HostPath("new") +
                 "' --version 1.0.1 " + options + " '" + HostPath("out") + "'");
  }
  std::string output;
};

TEST_F(PackageChecksumList, MakeWritesAListThatSha256sumAccepts) {
  ASSERT_EQ(Make(""), 0) << output;
  ASSERT_EQ(Shell("cd '" + HostPath("out") + "' && sha256sum --strict -c update.sha256"), 0)
      << output;
  std::vector<std::string> names;
  std::string list = ReadHostFile("out/update.sha256");
  for (size_t at = 0; at < list.size(); at = list.find('\n', at) + 1) {
    names.push_back(list.substr(at + 66, list.find('\n', at) - at - 66));
  }
  EXPECT_EQ(names, (std::vector<std::string>{"a.txt", "B.txt", "c/y.bin", "c/Z.bin",
                                             "update.ini", "\xC3\xA9t\xC3\xA9.txt"}));
}

TEST_F(PackageChecksumList, NoChecksumsLeavesTheListOut) {
  ASSERT_EQ(Make("--no-checksums"), 0) << output;
  EXPECT_TRUE(HostExists("out/update.ini"));
  EXPECT_FALSE(HostExists("out/update.sha256"));
}

// Each damage reported with its code; the device tree is never changed.
TEST_F(PackageChecksumList, CheckReportsEachDamageWithItsCode) {
  ASSERT_EQ(Make(""), 0) << output;
  WriteHostFile("device/ResidentFlash/Nimbora/main.ini", "[Main]\r\nVersion=1.0.0\r\n");
  struct Case {
    const char* name;
    void (*damage)(const fs::path& package);
    std::vector<std::string> found;  // "code|text in its message"
  };
  const Case cases[] = {
      {"whole", nullptr, {}},
      {"missing", [](const fs::path& p) { fs::remove(p / "c/y.bin"); }, {"checksum-missing-file|c/y.bin"}},
      {"extra",
       [](const fs::path& p) { fs::copy_file(p / "a.txt", p / "c/extra.bin"); },
       {"checksum-extra-file|c/extra.bin"}},
      {"truncated",
       [](const fs::path& p) { fs::resize_file(p / "B.txt", 1); },
       {"checksum-changed-file|B.txt"}},
      {"list cut",
       [](const fs::path& p) { fs::resize_file(p / "update.sha256", fs::file_size(p / "update.sha256") - 3); },
       {"checksum-list-malformed|line 6", "checksum-extra-file|\xC3\xA9t\xC3\xA9.txt"}},
  };
  std::string before = DescribeHostTree("device");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(HostPath("package"));
    fs::copy(HostPath("out"), HostPath("package"), fs::copy_options::recursive);
    if (c.damage != nullptr) c.damage(HostPath("package"));
    // check on a device, and inspect without one, find the same.
    for (const std::string& command : {" check --device '" + HostPath("device") + "' ", std::string(" inspect ")}) {
      int status = Shell(kProgram + command + "'" + HostPath("package") + "'");
      EXPECT_EQ(status, c.found.empty() ? 0 : 1) << output;
      EXPECT_EQ(output.find("checksum-") == std::string::npos, c.found.empty()) << output;
      for (const std::string& found : c.found) {
        std::string code = found.substr(0, found.find('|'));
        size_t at = output.find("error " + code + ": ");
        ASSERT_NE(at, std::string::npos) << code << "\n" << output;
        EXPECT_NE(output.substr(at, output.find('\n', at) - at).find(found.substr(code.size() + 1)),
                  std::string::npos)
            << output;
      }
    }
    EXPECT_NE(output.find(c.found.empty() ? "update.sha256: holds" : "update.sha256: does not hold"),
              std::string::npos)
        << output;
    EXPECT_EQ(DescribeHostTree("device"), before);
  }
}

}  // namespace
}  // namespace nimbora
