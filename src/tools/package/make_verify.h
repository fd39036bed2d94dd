// make's proof: the package applied to OLD by the whole Updater on a
// simulated device, and the result compared with NEW a block at a time.
#pragma once

#include <string>
#include <vector>

#include "make_tree.h"
#include "platform/file_system.h"

namespace nimbora {

// The lines of a main.ini apart from the Version and Update Time the run records.
std::vector<std::u16string> SettingsLines(FileSystem* fileSystem, const std::u16string& path);

struct Verification {
  const char* oldDir;
  std::string packageDir;
  const MakeTree& oldTree;
  const MakeTree& newTree;
  const std::vector<char>& sameAsOld;           // per NEW entry: a file found to hold OLD's bytes
  const std::vector<std::u16string>* settings;  // what main.ini must then hold, or nullptr
};

// The differences between NEW and OLD updated with the package; false with
// a message when the run cannot be simulated or a file read.
bool VerifyPackage(const Verification& verification, std::vector<std::string>* differences,
                   std::string* error);

}  // namespace nimbora
