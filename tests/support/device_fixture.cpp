#include "support/device_fixture.h"

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace nimbora {

namespace fs = std::filesystem;

void DeviceFixture::SetUp() {
  fs::path parent = rootParent.empty() ? fs::temp_directory_path() : fs::path(rootParent);
  std::string pattern = (parent / "nimbora-device-XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  root = pattern;
  hostState = OpenHostFileSystem(&host, root.c_str());
  ASSERT_NE(hostState, nullptr);
  previous = CurrentFileSystem();
  UseFileSystem(&host);
}

void DeviceFixture::TearDown() {
  UseFileSystem(previous);
  CloseHostFileSystem(hostState);
  if (root.empty()) return;
  // Directories a test made read-only would keep their entries from an ordinary user.
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(root, error); !error && it != fs::end(it);
       it.increment(error)) {
    if (it->is_directory() && !it->is_symlink()) {
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
    }
  }
  fs::remove_all(root, error);
}

// A file system opened afresh over the same root has listed nothing yet;
// the record stays where it is, so wrappers over it see the new one.
void DeviceFixture::ForgetHostListings() {
  CloseHostFileSystem(hostState);
  hostState = OpenHostFileSystem(&host, root.c_str());
}

std::string DeviceFixture::HostPath(const std::string& relative) const {
  return root + "/" + relative;
}

void DeviceFixture::WriteHostFile(const std::string& relative, const std::string& bytes) const {
  fs::path path = HostPath(relative);
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  ASSERT_TRUE(out.good()) << path;
}

std::string DeviceFixture::ReadHostFile(const std::string& relative) const {
  std::ifstream in(HostPath(relative), std::ios::binary);
  EXPECT_TRUE(in.good()) << "cannot read " << relative;
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

bool DeviceFixture::HostExists(const std::string& relative) const {
  struct stat status;
  return lstat(HostPath(relative).c_str(), &status) == 0;
}

bool DeviceFixture::HostIsDirectory(const std::string& relative) const {
  return fs::is_directory(fs::symlink_status(HostPath(relative)));
}

void DeviceFixture::MakeHostDirectory(const std::string& relative) const {
  fs::create_directories(HostPath(relative));
}

void DeviceFixture::SetHostReadOnly(const std::string& relative, bool readOnly) const {
  fs::perms write = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
  fs::permissions(HostPath(relative), readOnly ? write : fs::perms::owner_write,
                  readOnly ? fs::perm_options::remove : fs::perm_options::add);
}

bool DeviceFixture::HostIsReadOnly(const std::string& relative) const {
  struct stat status;
  return lstat(HostPath(relative).c_str(), &status) == 0 && (status.st_mode & 0222) == 0;
}

std::string DeviceFixture::DescribeHostTree(const std::string& relative,
                                            const std::string& skip) const {
  fs::path top = HostPath(relative);
  std::set<std::string> lines;
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(top, error); !error && it != fs::end(it);
       it.increment(error)) {
    std::string name = fs::relative(it->path(), top).string();
    if (name == skip) continue;
    if (it->is_symlink()) {
      lines.insert(name + " -> " + fs::read_symlink(it->path()).string());
    } else if (it->is_directory()) {
      lines.insert(name + "/");
    } else {
      std::string below = (fs::path(relative) / name).string();
      std::string readOnly = HostIsReadOnly(below) ? " (read-only)" : "";
      lines.insert(name + readOnly + " = " + ReadHostFile(below));
    }
  }
  std::string description;
  for (const std::string& line : lines) description += line + "\n";
  return description;
}

void DeviceFixture::UseFaultWrapper() {
  InitFaultFileSystem(&faulty, &faults, &host);
  UseFileSystem(&faulty);
}

}  // namespace nimbora
