// Carrying out a package description's delete and copy instructions.
#pragma once

namespace nimbora {

int ApplyPackage(const char16_t* packageDirectory, const char16_t* applicationDirectory,
                 const char16_t* descriptionPath);
void DeleteListedEntries(int count, const char16_t* section, const char16_t* prefix,
                         const char16_t* descriptionPath, const char16_t* baseDirectory);
int CopyListedEntries(int count, const char16_t* section, const char16_t* prefix,
                      const char16_t* descriptionPath, const char16_t* sourceDirectory,
                      const char16_t* targetDirectory, const char16_t* toleratedPath);

}  // namespace nimbora
