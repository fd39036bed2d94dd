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
  bool checksums;        // write the checksum list
  bool replaceSettings;  // "Delete" = all, NEW's main.ini over the panels' own
  bool json;             // one JSON object on stdout instead of the text line
};

// 0 written and verified, 1 the verification found differences (nothing
// written), 2 usage, a value the panel would misread, a change the format
// cannot carry without harm, or a failed write (nothing written).
int RunMake(const MakeArguments& arguments);

}  // namespace nimbora
