// Recursive delete and copy of directory trees on the device file system.
#pragma once

namespace nimbora {

// Deletes everything below directory except the excluded path (nullptr: none)
// and names starting with a full stop, then removes directory if empty.
void DeleteTree(const char16_t* directory, const char16_t* excluded);
// Copies source onto target; a failed copy of the tolerated file is forgiven.
int CopyTree(const char16_t* source, const char16_t* target, const char16_t* tolerated);
// Creates every missing directory leading to path.
int CreateParentDirectories(const char16_t* path);

}  // namespace nimbora
