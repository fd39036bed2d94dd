// Font matches kept across runs: a later session takes a kept match without
// setting up fontconfig, and a match whose fonts changed is made afresh,
// never naming a font file that is gone. The sessions see only the fonts of
// a configuration of the test's own, in its scratch directory.
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "platform/host/host_platform.h"
#include "support/device_fixture.h"

namespace nimbora {
namespace {

namespace fs = std::filesystem;

constexpr const char* kSansFile = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr const char* kMonoFile = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf";

class HostFontCacheTest : public DeviceFixture {
 protected:
  void SetUp() override {
    DeviceFixture::SetUp();
    MakeHostDirectory("fonts");
    WriteHostFile("config/fonts.conf", "<fontconfig><dir>" + HostPath("fonts") +
                                           "</dir><cachedir>" + HostPath("fontconfig") +
                                           "</cachedir></fontconfig>");
    setenv("FONTCONFIG_FILE", HostPath("config/fonts.conf").c_str(), 1);
  }
  void TearDown() override {
    unsetenv("FONTCONFIG_FILE");
    DeviceFixture::TearDown();
  }

  // The file one session draws the face with ("" for none), and the
  // identity of the cache file after it (0 when there is none).
  std::string FileUsed(ino_t* cacheAfter) {
    std::string cache = HostPath("matches");
    HostOptions options{};
    options.root = root.c_str();
    options.virtualClock = true;
    options.fontCache = cache.c_str();
    char error[200] = "";
    EXPECT_EQ(HostStart(&options, error, sizeof error), 1) << error;
    HostFontUse use{};
    std::string file = HostFontUsed("DejaVu Sans Mono", &use) ? use.file : "";
    HostFinish(0);
    struct stat status {};
    *cacheAfter = stat(cache.c_str(), &status) == 0 ? status.st_ino : 0;
    return file;
  }
};

TEST_F(HostFontCacheTest, AKeptMatchIsUsedUntilItsFontsChange) {
  fs::copy_file(kSansFile, HostPath("fonts/a.ttf"));  // a substitute for the face asked
  ino_t written = 0, after = 0;
  EXPECT_EQ(FileUsed(&written), HostPath("fonts/a.ttf"));
  ASSERT_NE(written, 0u);
  EXPECT_EQ(FileUsed(&after), HostPath("fonts/a.ttf"));
  EXPECT_EQ(after, written);  // taken from the cache: fontconfig not set up, nothing rewritten

  // The face itself installed: the directory's time changed.
  fs::copy_file(kMonoFile, HostPath("fonts/b.ttf"));
  EXPECT_EQ(FileUsed(&after), HostPath("fonts/b.ttf"));
  EXPECT_NE(after, written);

  // The kept file rewritten in place, its directory untouched: the file's
  // own stamp refuses the match, which is made afresh.
  written = after;
  fs::copy_file(kSansFile, HostPath("fonts/b.ttf"), fs::copy_options::overwrite_existing);
  EXPECT_EQ(FileUsed(&after), HostPath("fonts/b.ttf"));
  EXPECT_NE(after, written);
}

}  // namespace
}  // namespace nimbora
