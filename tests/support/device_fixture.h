// A device for a test: a fresh temporary root directory with the host file
// system installed over it as the current file system, removed afterwards.
// Host-side helpers take paths below the root written with "/".
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "testing/fault_file_system.h"
#include "platform/file_system.h"
#include "platform/host/host_platform.h"

namespace nimbora {

class DeviceFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  std::string HostPath(const std::string& relative) const;
  // Writes bytes exactly as given, creating the directories above the file.
  void WriteHostFile(const std::string& relative, const std::string& bytes) const;
  // The file's bytes; fails the test when it cannot be read.
  std::string ReadHostFile(const std::string& relative) const;
  bool HostExists(const std::string& relative) const;  // a dangling link exists too
  bool HostIsDirectory(const std::string& relative) const;
  void MakeHostDirectory(const std::string& relative) const;  // with its parents
  void SetHostReadOnly(const std::string& relative, bool readOnly) const;
  bool HostIsReadOnly(const std::string& relative) const;
  // One sorted line per entry below relative ("" for the whole root):
  // "dir/" for a directory, "file = bytes" for a file, "(read-only)" and
  // "-> target" marked; for comparing whole trees before and after. An
  // entry named skip (relative to relative) is left out.
  std::string DescribeHostTree(const std::string& relative = "", const std::string& skip = "") const;

  // The tree was laid afresh for a new start of the Updater, which lists
  // every directory anew.
  void ForgetHostListings();

  // Puts the fault wrapper (faults, faulty) between the logic and the host.
  void UseFaultWrapper();

  // Where the root is made (default: the temporary directory). Runs that
  // flush a lot pick a memory file system, where a flush need not wait for
  // a disk that other programs share.
  std::string rootParent;
  std::string root;
  HostFileSystemState* hostState = nullptr;
  FileSystem host;
  FaultFileSystemState faults;
  FileSystem faulty;

 private:
  FileSystem* previous = nullptr;
};

}  // namespace nimbora
