// nimbora-package make: the package that turns OLD into NEW, verified.
#pragma once

namespace nimbora {

struct MakeArguments {
  const char* oldDir;
  const char* newDir;
  const char* version;
  const char* time;  // or nullptr
  bool deleteDatabase;
  const char* outDir;
  bool checksums;  // write the checksum list
  bool json;       // print one JSON object instead of text
};

// 0 written and verified, 1 verified with differences, 2 usage or a change
// the format cannot express.
int RunMake(const MakeArguments& arguments);

}  // namespace nimbora
