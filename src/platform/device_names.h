// How the device takes the components of a path, for every file system that
// stands in for it: what "." and ".." do, what a name keeps of its trailing
// full stops and blanks, and how long a name may be. Names are compared
// ignoring case by Unicode case folding (WideCompareNoCase, FoldCase).
#pragma once

namespace nimbora {

enum class PathStep {
  Skip,     // ".", or a name of nothing but dropped characters
  Up,       // "..": back one component (never above the root)
  Name,     // a name of *kept characters
  TooLong,  // a name the device cannot hold: the path maps nowhere
};

// One component (length characters at name) of a device path; last tells
// whether it ends the path. The device drops every trailing full stop and
// blank from the last component and one full stop from the others.
PathStep StepOfComponent(const char16_t* name, int length, bool last, int* kept);

}  // namespace nimbora
