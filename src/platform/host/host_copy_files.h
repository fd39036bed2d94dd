// The two open files of a copy, and the quick way of opening them.
#pragma once

#include <sys/stat.h>

#include "platform/host/host_file_system.h"

namespace nimbora {

struct CopyFiles {
  int input;
  struct stat source;
  int output;
  struct stat target;
  char targetPath[kHostPathCapacity];  // for telling the device code of a later failure
};

// Opens both files when every name on both paths is spelled exactly as on
// disk and nothing is out of the ordinary: the common case, one kernel lookup
// a path instead of one a name. Returns false, with nothing left open and no
// error recorded, whenever the matching path walk must decide instead: a name
// in another letter case, a link, a refusal, a missing file. A new target
// name is created only when no entry differs from it in case alone.
bool OpenSpelledFiles(const char* root, const char16_t* from, const char16_t* to,
                      CopyFiles* files);

}  // namespace nimbora
