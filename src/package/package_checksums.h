// The checksum list of a package: "update.sha256" in the package directory,
// in the form sha256sum writes, so that "sha256sum -c update.sha256" in the
// package directory checks a copy on any PC. One line per file:
//
//   <64 lowercase hex digits><blank><blank or '*'><path>LF
//
// the path relative to the package directory, '/' between its names, in
// UTF-8. It names every file of the package, "update.ini" included, the list
// itself aside: exactly the files a copy of the whole package would copy
// (names beginning with a full stop are never part of a package). The lines
// stand in increasing order of their paths as WideCompareNoCase orders them,
// each path greater than the one before; that order is what lets the
// device tell, without keeping the list, that no file is named twice.
#pragma once

namespace nimbora {

constexpr char16_t kChecksumListName[] = u"update.sha256";

enum class ChecksumVerdict {
  kNoList,  // the package has no list: nothing to check
  kHolds,   // every file is listed and every listed file is whole
  kFails,
};

enum class ChecksumProblem {
  kMalformedLine,        // out of form, out of order, a name repeated, or cut short
  kMissingFile,          // a listed file is not there
  kUnreadableFile,       // a listed file is there but cannot be opened
  kChangedFile,          // a listed file's SHA-256 differs: changed, cut short or not read whole
  kUnlistedFiles,        // the package holds files the list does not name
  kUnreadableList,       // the list is there but cannot be opened
  kUnreadableDirectory,  // a directory of the package could not be read to its end
};

// Where the problems go, each as it is found. line is the list's line number
// (from 1) for the problems of a line; for kUnlistedFiles it is the number of
// files found minus the number of listed files found, else 0. path is the
// file's or directory's device path, or nullptr. listed (nullptr: not
// wanted) gets the device path of every file a well-formed line names, for
// a caller that wants to name the unlisted files the check only counts.
struct ChecksumReport {
  void* context;
  void (*problem)(void* context, ChecksumProblem problem, int line, const char16_t* path);
  void (*listed)(void* context, const char16_t* path);
};

// Checks the package in packageDirectory (ending with a backslash) against
// its list, through the current file system. Every line and every file is
// checked, also after a problem, so that each problem reaches report
// (nullptr: none wanted).
ChecksumVerdict VerifyPackageChecksums(const char16_t* packageDirectory,
                                       const ChecksumReport* report);

}  // namespace nimbora
