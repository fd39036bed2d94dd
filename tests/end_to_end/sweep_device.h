// The device of the sweeps: an installed application and one package in a
// chosen shape, and whole starts of the Updater in this process, the logic
// running over a file system wrapped around the host's when one is given.
#pragma once

#include <functional>
#include <string>

#include "support/device_fixture.h"

namespace nimbora {

struct Shape {
  const char* name;
  const char* package;  // the package directory below the root
  const char* deletes;  // "Delete": "all", "2" for the list, or "0"
  const char* updates;  // "Update": "all" or "2" for the list
  bool checksummed = false;  // with a checksum list, as sha256sum writes it
};

extern const Shape kShapes[8];
extern const std::string kMainIni;
extern const std::string kInstalled;

class SweepDevice : public DeviceFixture {
 protected:
  SweepDevice();

  void Lay(const Shape& shape);
  // One start: wrap (if given) returns the file system to run on, wrapped
  // around the host's; settle (if given) runs after, on the host's again.
  void Start(const std::function<FileSystem*(FileSystem* host)>& wrap = {},
             const std::function<void()>& settle = {});
  // The tree, without the leftovers of a flash package whose description is
  // gone (taken away first: what they hold may span lines).
  std::string Tree();
  std::string ApplicationTree() const { return DescribeHostTree("ResidentFlash/Nimbora"); }
  // The application's files as they stand in place. A medium lost just as
  // the rewrite of main.ini deletes the old content it put aside leaves that
  // copy beside the new main.ini, which is whole and read first; the next
  // start removes it, as Tree() after that start shows.
  std::string InstalledTree() const {
    return DescribeHostTree("ResidentFlash/Nimbora", "main.ini~old");
  }

  // The outcome the last start drew: "success", "failure" or "" for none.
  std::string outcome;
};

}  // namespace nimbora
