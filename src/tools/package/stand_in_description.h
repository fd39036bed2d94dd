// What the runs that only draw screens apply in place of a package's own
// description: its version and update time, its "Delete" = all with the
// flags when it has that, and, as the real run made them, the copies and
// deletes of the files the screens read plus one other copy, which the
// stand-in copies let succeed or fail. So the screens of a package that
// lists every file cost a few lookups, not a read of its description for
// every entry.
#pragma once

#include <optional>
#include <string>

#include "package_tool.h"

namespace nimbora {

// The description's bytes (UTF-16 with its mark), or none when the real run
// copied nothing but the files the screens read, so that no copy could fail.
// Call with the device, as before the real run, installed.
std::optional<std::string> StandInDescription(const RunRecord& real, const std::u16string& packageDirectory);

// Writes it over the package's update.ini on a fresh simulated device.
bool PlaceStandInDescription(SimulatedDevice* device, const std::u16string& packageDirectory,
                             const std::string& bytes);

}  // namespace nimbora
