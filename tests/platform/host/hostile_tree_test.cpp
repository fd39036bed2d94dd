// The real nimbora-update over device trees made to trip the host backend:
// FIFOs, sockets and device nodes where files belong, names with a
// backslash, entries that climb to the root, links out of the tree. Every
// run ends (under a timeout), deletes nothing outside the device, keeps the
// device root, and shows the outcome it would show for an unreadable file.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "support/device_fixture.h"
#include "support/draw_log.h"

namespace nimbora {
namespace {

const std::string kApp = "device/ResidentFlash/Nimbora/";
const std::string kCard = "device/Storage Card/Update Nimbora/";
const std::string kFlash = "device/ResidentFlash/Update Nimbora/";
const char kSuccess[] = "Successfully updated the files.";
const char kFailure[] = "Failed to update the files.";
const char kCannotStart[] = "Can't open the application software!";
const char kNewer[] = "[Main]\r\nVersion=1.2.4\r\n";

class HostileTreeTest;

struct HostileTree {
  const char* name;
  std::function<void(HostileTreeTest*)> lay;
  const char* outcome;  // the result shown, or nullptr when no package is applied
  bool launched;
  std::vector<std::string> present;  // below the fixture's root, after the run
  std::vector<std::string> absent;
};

class HostileTreeTest : public DeviceFixture, public ::testing::WithParamInterface<HostileTree> {
 public:
  using DeviceFixture::HostPath;
  using DeviceFixture::WriteHostFile;
  void Fifo(const std::string& relative) {
    MakeHostDirectory(relative.substr(0, relative.rfind('/')));
    unlink(HostPath(relative).c_str());
    ASSERT_EQ(mkfifo(HostPath(relative).c_str(), 0666), 0) << relative;
  }
  // Bound at a short path first: a socket's path has little room.
  void Socket(const std::string& relative) {
    MakeHostDirectory(relative.substr(0, relative.rfind('/')));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    snprintf(address.sun_path, sizeof address.sun_path, "/tmp/nimbora-%d.sock", getpid());
    int socketFile = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(socketFile, 0);
    ASSERT_EQ(bind(socketFile, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    close(socketFile);
    ASSERT_EQ(rename(address.sun_path, HostPath(relative).c_str()), 0);
  }
  void DeviceNode(const std::string& relative) {
    MakeHostDirectory(relative.substr(0, relative.rfind('/')));
    if (mknod(HostPath(relative).c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) {
      ASSERT_EQ(errno, EPERM);
      skipped = true;
    }
  }
  void Link(const std::string& relative, const std::string& target) {
    ASSERT_EQ(symlink(target.c_str(), HostPath(relative).c_str()), 0) << relative;
  }
  void Executable(const std::string& relative, const std::string& marker) {
    WriteHostFile(relative, "#!/bin/sh\necho started > '" + HostPath(marker) + "'\n");
    chmod(HostPath(relative).c_str(), 0755);
  }
  bool skipped = false;
};

TEST_P(HostileTreeTest, EndsSoundlyWithNothingOutsideTouched) {
  const HostileTree& tree = GetParam();
  WriteHostFile(kApp + "main.ini", "[Main]\r\nVersion=1.2.3\r\n");
  Executable(kApp + "Nimbora.exe", "started");
  WriteHostFile("outside/keep.txt", "keep");
  Executable("outside/program", "outside-started");
  tree.lay(this);
  if (skipped) GTEST_SKIP() << "device nodes cannot be made here";

  std::string command = "timeout 20 " NIMBORA_BINARY_DIR "/src/programs/nimbora-update --root '" +
                        HostPath("device") + "' --headless --virtual-clock --keys a --draw-log '" +
                        HostPath("draw.log") + "' >/dev/null 2>&1";
  int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0) << "124: the run hung";

  std::vector<LogEntry> log = ReadDrawLog(HostPath("draw.log"));
  bool launched = false;
  std::vector<std::string> texts;
  for (const LogEntry& entry : log) {
    if (entry["op"] == "launch") launched = entry["ok"] == true;
    if (entry["op"] == "text") texts.push_back(entry["text"]);
  }
  auto drew = [&](const std::string& text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
  };
  EXPECT_EQ(launched, tree.launched);
  EXPECT_EQ(drew(kCannotStart), !tree.launched);
  if (tree.outcome == nullptr) {
    EXPECT_FALSE(drew("Update the files ...")) << "no package is applied";
  } else {
    EXPECT_TRUE(drew(tree.outcome)) << tree.outcome;
    EXPECT_FALSE(drew(tree.outcome == std::string(kSuccess) ? kFailure : kSuccess));
  }
  EXPECT_TRUE(HostIsDirectory("device"));
  EXPECT_EQ(ReadHostFile("outside/keep.txt"), "keep");
  EXPECT_FALSE(HostExists("outside-started"));
  for (const std::string& path : tree.present) EXPECT_TRUE(HostExists(path)) << path;
  for (const std::string& path : tree.absent) EXPECT_FALSE(HostExists(path)) << path;
}

// A card package that copies a.txt, with main.ini listed to show the version is recorded.
void CardCopyingA(HostileTreeTest* t, bool writeA = true) {
  t->WriteHostFile(kCard + "update.ini", std::string(kNewer) + "Update=1\r\n[Update]\r\nfile1=a.txt\r\n");
  if (writeA) t->WriteHostFile(kCard + "a.txt", "a");
}

void CardCopyingAll(HostileTreeTest* t) {
  t->WriteHostFile(kCard + "update.ini", std::string(kNewer) + "Update=all\r\n");
  t->WriteHostFile(kCard + "b.txt", "b");
}

void CardDeleting(HostileTreeTest* t, const std::string& entry) {
  t->WriteHostFile(kCard + "update.ini", std::string(kNewer) + "Delete=1\r\n[Delete]\r\nfile1=" + entry + "\r\n");
}

void FlashCopyingA(HostileTreeTest* t) {
  t->WriteHostFile(kFlash + "update.ini", std::string(kNewer) + "Update=1\r\n[Update]\r\nfile1=a.txt\r\n");
  t->WriteHostFile(kFlash + "a.txt", "a");
}

std::vector<HostileTree> Trees() {
  return {
      {"FifoAsCardDescription", [](HostileTreeTest* t) { t->Fifo(kCard + "update.ini"); }, nullptr, true,
       {}, {}},
      {"FifoAsFlashDescription", [](HostileTreeTest* t) { t->Fifo(kFlash + "update.ini"); }, nullptr,
       true, {}, {}},
      {"FifoAsLanguageIni",
       [](HostileTreeTest* t) {
         CardCopyingA(t);
         t->Fifo(kApp + "Language.ini");
       },
       kSuccess, true, {kApp + "a.txt"}, {}},
      {"FifoAsMainIni",
       [](HostileTreeTest* t) {
         CardCopyingA(t);
         t->Fifo(kApp + "main.ini");
       },
       // The version cannot be recorded over a file that cannot be read.
       kFailure, true, {kApp + "a.txt"}, {}},
      {"FifoAsListedPackageFile",
       [](HostileTreeTest* t) {
         CardCopyingA(t, false);
         t->Fifo(kCard + "a.txt");
       },
       kFailure, true, {}, {kApp + "a.txt"}},
      {"FifoAsCopyTarget",
       [](HostileTreeTest* t) {
         CardCopyingA(t);
         t->Fifo(kApp + "a.txt");
       },
       kFailure, true, {kApp + "a.txt"}, {}},
      {"SocketInPackage",
       [](HostileTreeTest* t) {
         CardCopyingAll(t);
         t->Socket(kCard + "s.sock");
       },
       kFailure, true, {kApp + "b.txt"}, {kApp + "s.sock"}},
      {"DeviceNodeInPackage",
       [](HostileTreeTest* t) {
         CardCopyingAll(t);
         t->DeviceNode(kCard + "null");
       },
       kFailure, true, {kApp + "b.txt"}, {kApp + "null"}},
      // Removing the applied flash package must not take the name for a path.
      {"BackslashFileInFlashPackage",
       [](HostileTreeTest* t) {
         FlashCopyingA(t);
         t->WriteHostFile(kFlash + "x\\..\\..\\Nimbora\\main.ini", "crafted");
       },
       kSuccess, true, {kApp + "main.ini", kApp + "a.txt", kFlash + "x\\..\\..\\Nimbora\\main.ini"},
       {kFlash + "update.ini"}},
      {"BackslashDirectoryInFlashPackage",
       [](HostileTreeTest* t) {
         FlashCopyingA(t);
         t->WriteHostFile(kFlash + "x\\..\\..\\..\\Storage Card\\/f.txt", "f");
         t->WriteHostFile("device/Storage Card/keep.txt", "k");
       },
       kSuccess, true, {"device/Storage Card/keep.txt", kApp + "main.ini"}, {kFlash + "update.ini"}},
      // The package deletes itself with the rest: gone, it was not applied.
      {"DeleteClimbingToTheRoot", [](HostileTreeTest* t) { CardDeleting(t, "..\\..\\..\\..\\"); },
       kFailure, false, {"device"}, {kApp + "Nimbora.exe", "device/Storage Card"}},
      {"DeleteThroughALinkOutside",
       [](HostileTreeTest* t) {
         CardDeleting(t, "ext\\");
         t->Link(kApp + "ext", t->HostPath("outside"));
       },
       kSuccess, true, {"outside/program"}, {}},
      {"ApplicationIsALinkOutside",
       [](HostileTreeTest* t) {
         unlink(t->HostPath(kApp + "Nimbora.exe").c_str());
         t->Link(kApp + "Nimbora.exe", t->HostPath("outside/program"));
       },
       nullptr, false, {}, {"started"}},
  };
}

INSTANTIATE_TEST_SUITE_P(Trees, HostileTreeTest, ::testing::ValuesIn(Trees()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace nimbora
