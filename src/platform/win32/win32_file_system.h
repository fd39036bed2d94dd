// The file system of the Windows API, as the seam's record. Device paths
// ("\ResidentFlash\...") are passed through unchanged: they resolve on the
// current drive.
#pragma once

#include "platform/file_system.h"

namespace nimbora {

FileSystem* Win32FileSystem();

}  // namespace nimbora
