#include "end_to_end/sweep_device.h"

#include <cstdlib>
#include <filesystem>

#include "control/main_window.h"
#include "platform/host/host_platform.h"
#include "support/draw_log.h"

namespace nimbora {

namespace fs = std::filesystem;

namespace {

const std::string kApp = "ResidentFlash/Nimbora/";
const char kCard[] = "Storage Card/Update Nimbora/";
const char kFlash[] = "ResidentFlash/Update Nimbora/";

}  // namespace

const std::string kMainIni = kApp + "main.ini";
const std::string kInstalled =
    "[Main]\r\nVersion=1.2.3\r\nUpdate Time=2013-08-16 7:30:00\r\nTitle=Station 7\r\n"
    "[Option]\r\nLangue=English\r\nFrequency=868\r\n";

const Shape kShapes[8] = {
    {"card, delete all, update all", kCard, "all", "all"},
    {"card, delete list, update list", kCard, "2", "2"},
    {"card, delete none, update all", kCard, "0", "all"},
    {"flash, delete all, update list", kFlash, "all", "2"},
    {"flash, delete list, update all", kFlash, "2", "all"},
    {"flash, delete none, update list", kFlash, "0", "2"},
    {"card, delete all, update all, checksummed", kCard, "all", "all", true},
    {"flash, delete list, update list, checksummed", kFlash, "2", "2", true},
};

SweepDevice::SweepDevice() {
  if (fs::is_directory("/dev/shm")) rootParent = "/dev/shm";
}

void SweepDevice::Lay(const Shape& shape) {
  fs::remove_all(HostPath("ResidentFlash"));
  fs::remove_all(HostPath("Storage Card"));
  WriteHostFile(kMainIni, kInstalled);
  for (const char* file : {"Nimbora.exe", "old.txt", "skins/day.skin", "Database/Param.dat"}) {
    WriteHostFile(kApp + file, "old");
  }
  std::string package = shape.package;
  WriteHostFile(package + "update.ini",
                std::string("[Main]\r\nVersion=1.10.0\r\nUpdate Time=2013-10-12 18:00:00\r\n") +
                    "Delete=" + shape.deletes + "\r\nUpdate=" + shape.updates +
                    "\r\n[Delete]\r\nfile1=old.txt\r\nfile2=skins\\\r\n"
                    "[Update]\r\nfile1=Nimbora.exe\r\nfile2=maps\\alps.map\r\n");
  WriteHostFile(package + "Nimbora.exe", "new");
  WriteHostFile(package + "maps/alps.map", "alps");
  std::string list = "cd '" + HostPath(package) +
                     "' && sha256sum maps/alps.map Nimbora.exe update.ini > update.sha256";
  if (shape.checksummed) {
    ASSERT_EQ(std::system(list.c_str()), 0);
  }
}

void SweepDevice::Start(const std::function<FileSystem*(FileSystem* host)>& wrap,
                        const std::function<void()>& settle) {
  std::string drawLog = root + ".draw.log";  // beside the tree, out of its description
  HostOptions options{};
  options.root = root.c_str();
  options.virtualClock = true;
  options.keys = "space,space,space";
  options.fixedFontAdvance = 8;
  options.drawLogPath = drawLog.c_str();
  char error[200] = "";
  ASSERT_EQ(HostStart(&options, error, sizeof error), 1) << error;
  FileSystem* hostFileSystem = CurrentFileSystem();
  if (wrap) UseFileSystem(wrap(hostFileSystem));
  ProgramEntry(nullptr, u"", 0);
  UseFileSystem(hostFileSystem);
  if (settle) settle();
  HostFinish(0);
  outcome.clear();
  for (const std::string& text : DrawnTexts(ReadDrawLog(drawLog, "text"))) {
    if (text.rfind("Successfully", 0) == 0) outcome = "success";
    if (text.rfind("Failed", 0) == 0) outcome = "failure";
  }
  fs::remove(drawLog);
}

std::string SweepDevice::Tree() {
  if (!HostExists("ResidentFlash/Update Nimbora/update.ini")) {
    fs::remove_all(HostPath("ResidentFlash/Update Nimbora"));
  }
  return DescribeHostTree();
}

}  // namespace nimbora
