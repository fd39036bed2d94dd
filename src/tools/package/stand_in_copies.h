// A layer over the simulated device for the runs that only draw screens:
// a copy is answered without copying (or fails, as on a failing medium),
// except the copies of the files the screens read (main.ini and
// Language.ini, both directly in the package directory when it carries
// them); the package's checksum list is not there, since the one real run
// has checked it already; and the package directory lists its files but
// none of its subdirectories, which hold nothing the screens read. So a run
// draws the screens of a package of any size at the cost of a few names.
#pragma once

#include <type_traits>

#include "overlay/overlay_file_system.h"

namespace nimbora {

struct StandInCopies {
  FileSystem fileSystem;  // install this one; first, so a call finds the layer from it
  OverlayFileSystem* overlay;
  bool copiesFail;
  char16_t checksumList[kPathCapacity];
  char16_t packageEntries[kPathCapacity];  // the pattern that lists the package directory
  Search* packageSearch;  // the open listing of it, or nullptr
  char16_t languageFile[kPathCapacity];  // the Language.ini path, once a copy asked
};
static_assert(std::is_standard_layout_v<StandInCopies>);

void InitStandInCopies(StandInCopies* layer, OverlayFileSystem* overlay, bool copiesFail,
                       const char16_t* packageDirectory);

}  // namespace nimbora
