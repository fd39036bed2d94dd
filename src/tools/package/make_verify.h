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

// The differences between NEW and OLD updated with the package at packageDir;
// settings are the lines main.ini must then hold (nullptr: not compared).
// false with a message when the run cannot be simulated.
bool VerifyPackage(const char* oldDir, const std::string& packageDir, const MakeTree& newTree,
                   const std::vector<std::u16string>* settings, std::vector<std::string>* differences,
                   std::string* error);

}  // namespace nimbora
