#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "platform/host/host_platform.h"
#include "support/device_fixture.h"

namespace nimbora {
namespace {

struct MapCase {
  const char16_t* devicePath;
  const char* expected;  // below the root, or "<fails>"
};

class HostPathsTest : public DeviceFixture {
 protected:
  void SetUp() override {
    DeviceFixture::SetUp();
    WriteHostFile("ResidentFlash/Nimbora/MAIN.INI", "");
    MakeHostDirectory("Donn\xC3\xA9""es");
    WriteHostFile("caf\xE9", "");  // a name saved in the Western code page
    WriteHostFile("\xCE\xA9mega.txt", "");          // Ωmega.txt
    MakeHostDirectory("\xD0\x94\xD0\xB0\xD1\x82\xD0\xB0");  // Дата
    WriteHostFile("\xC5\xB8", "");                  // Ÿ
  }

  std::string Mapped(const char16_t* devicePath, size_t capacity = kHostPathCapacity) {
    std::string hostPath(capacity, '\0');
    if (!MapDevicePath(root.c_str(), devicePath, hostPath.data(), capacity)) return "<fails>";
    hostPath.resize(hostPath.find('\0'));
    EXPECT_EQ(hostPath.compare(0, root.size(), root), 0);
    return hostPath.substr(root.size());
  }

  void ExpectMapped(const MapCase* begin, const MapCase* end) {
    for (const MapCase* c = begin; c != end; ++c) {
      EXPECT_EQ(Mapped(c->devicePath), c->expected) << c - begin;
    }
  }
};

TEST_F(HostPathsTest, MatchesNamesIgnoringCaseAndKeepsNewNamesAsSpelled) {
  const MapCase cases[] = {
      {u"\\ResidentFlash\\Nimbora\\main.ini", "/ResidentFlash/Nimbora/MAIN.INI"},
      {u"\\RESIDENTFLASH\\nimbora\\Main.Ini", "/ResidentFlash/Nimbora/MAIN.INI"},
      {u"/residentflash//./Nimbora/", "/ResidentFlash/Nimbora"},
      {u"\\DONN\u00C9ES\\new.TXT", "/Donn\xC3\xA9""es/new.TXT"},
      {u"\\CAF\u00C9", "/caf\xE9"},
      {u"\\\u03C9MEGA.txt", "/\xCE\xA9mega.txt"},
      {u"\\\u0434\u0430\u0442\u0430\\x", "/\xD0\x94\xD0\xB0\xD1\x82\xD0\xB0/x"},
      {u"\\\u00FF", "/\xC5\xB8"},
      {u"\\ResidentFlash\\New Dir\\Sub\\File.Dat", "/ResidentFlash/New Dir/Sub/File.Dat"},
      {u"\\", ""},
      {u"", ""},
  };
  ExpectMapped(std::begin(cases), std::end(cases));
}

// As the device: all trailing full stops and blanks leave the last name, one
// full stop leaves a name a separator follows.
TEST_F(HostPathsTest, DropsTrailingFullStopsAndBlanks) {
  const MapCase cases[] = {
      {u"\\ResidentFlash\\Nimbora\\main.ini ", "/ResidentFlash/Nimbora/MAIN.INI"},
      {u"\\ResidentFlash\\Nimbora\\main.ini.", "/ResidentFlash/Nimbora/MAIN.INI"},
      {u"\\ResidentFlash\\Nimbora\\main.ini. .", "/ResidentFlash/Nimbora/MAIN.INI"},
      {u"\\ResidentFlash.\\Nimbora.\\", "/ResidentFlash/Nimbora"},
      {u"\\Skins.\\", "/Skins"},
      {u"\\Skins \\a", "/Skins /a"},
      {u"\\Skins..\\a", "/Skins./a"},
      {u"\\ResidentFlash\\...", "/ResidentFlash"},
      {u"\\...\\etc", "<fails>"},  // never a name ".." for the host
      {u"\\.. \\etc", "/.. /etc"},
  };
  ExpectMapped(std::begin(cases), std::end(cases));
}

TEST_F(HostPathsTest, NeverLeavesTheRoot) {
  const MapCase cases[] = {
      {u"\\..\\..\\etc\\passwd", "/etc/passwd"},
      {u"\\ResidentFlash\\..\\..\\x", "/x"},
      {u"..", ""},
      {u"\\ResidentFlash\\Nimbora\\..\\nimbora\\main.ini", "/ResidentFlash/Nimbora/MAIN.INI"},
      {u"/New/../../ResidentFlash/./NIMBORA", "/ResidentFlash/Nimbora"},
  };
  ExpectMapped(std::begin(cases), std::end(cases));
}

TEST_F(HostPathsTest, PrefersTheExactSpellingWhenNamesDifferOnlyInCase) {
  MakeHostDirectory("Data");
  MakeHostDirectory("DATA");
  EXPECT_EQ(Mapped(u"\\DATA"), "/DATA");
  EXPECT_EQ(Mapped(u"\\Data"), "/Data");
}

TEST_F(HostPathsTest, FailsRatherThanTruncating) {
  size_t fits = root.size() + std::string("/abc").size() + 1;
  EXPECT_EQ(Mapped(u"\\abc", fits), "/abc");
  EXPECT_EQ(Mapped(u"\\abcd", fits), "<fails>");
  EXPECT_EQ(Mapped(u"\\ab\\c", fits), "<fails>");
  std::u16string deep;
  for (int i = 0; i < 500; ++i) deep += u"\\directory";
  EXPECT_EQ(Mapped(deep.c_str()), "<fails>");
}

TEST_F(HostPathsTest, DoesNotPassThroughSymbolicLinks) {
  ASSERT_EQ(symlink(HostPath("ResidentFlash").c_str(), HostPath("Link").c_str()), 0);
  EXPECT_EQ(Mapped(u"\\link"), "/Link");  // the link itself, as a file
  EXPECT_EQ(Mapped(u"\\Link\\Nimbora\\main.ini"), "<fails>");
  EXPECT_EQ(Mapped(u"\\Link\\..\\ResidentFlash"), "/ResidentFlash");
}

}  // namespace
}  // namespace nimbora
