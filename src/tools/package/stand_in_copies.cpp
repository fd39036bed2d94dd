#include "stand_in_copies.h"

#include "base/wide_string.h"
#include "display/status_screen.h"
#include "package/directory_entries.h"
#include "package/package_checksums.h"
#include "platform/device_locations.h"

namespace nimbora {

namespace {

StandInCopies* LayerOf(FileSystem* self) { return reinterpret_cast<StandInCopies*>(self); }

// The screens read main.ini and Language.ini, whose path the screen forms
// (during the run, when main.ini can be read).
bool IsReadByScreens(StandInCopies* layer, const char16_t* path) {
  if (layer->languageFile[0] == 0) {
    Language language;
    ChooseLanguage(&language);
    WideCopyBounded(layer->languageFile, language.textsPath, kPathCapacity);
  }
  return WideCompareNoCase(path, kInstalledStatePath) == 0 ||
         WideCompareNoCase(path, layer->languageFile) == 0;
}

int StandInCopy(FileSystem* self, const char16_t* from, const char16_t* to) {
  StandInCopies* layer = LayerOf(self);
  if (IsReadByScreens(layer, to)) return layer->overlay->fileSystem.copyFile(self, from, to);
  if (!layer->copiesFail) return 1;
  layer->overlay->lastError = kErrorWriteFault;
  return 0;
}

Stream* StandInOpen(FileSystem* self, const char16_t* path, const char16_t* mode) {
  StandInCopies* layer = LayerOf(self);
  if (WideCompareNoCase(path, layer->checksumList) != 0) {
    return layer->overlay->fileSystem.open(self, path, mode);
  }
  layer->overlay->lastError = kErrorFileNotFound;
  return nullptr;
}

bool IsSubdirectory(const DirectoryEntry& entry) {
  std::u16string name = entry.name;
  return (entry.attributes & kAttributeDirectory) != 0 && name != u"." && name != u"..";
}

// Past the package's subdirectories; at the end the overlay's last error
// tells that the listing ended, as the walk expects.
int SkipSubdirectories(FileSystem* self, Search* search, DirectoryEntry* entry) {
  FileSystem& overlay = LayerOf(self)->overlay->fileSystem;
  while (IsSubdirectory(*entry)) {
    if (!overlay.findNext(self, search, entry)) return 0;
  }
  return 1;
}

Search* StandInFindFirst(FileSystem* self, const char16_t* pattern, DirectoryEntry* entry) {
  StandInCopies* layer = LayerOf(self);
  Search* search = layer->overlay->fileSystem.findFirst(self, pattern, entry);
  if (search != nullptr && WideCompareNoCase(pattern, layer->packageEntries) == 0) {
    layer->packageSearch = search;  // "." comes first, so something is left to give
    SkipSubdirectories(self, search, entry);
  }
  return search;
}

int StandInFindNext(FileSystem* self, Search* search, DirectoryEntry* entry) {
  if (!LayerOf(self)->overlay->fileSystem.findNext(self, search, entry)) return 0;
  return search == LayerOf(self)->packageSearch ? SkipSubdirectories(self, search, entry) : 1;
}

void StandInFindClose(FileSystem* self, Search* search) {
  if (search == LayerOf(self)->packageSearch) LayerOf(self)->packageSearch = nullptr;
  LayerOf(self)->overlay->fileSystem.findClose(self, search);
}

}  // namespace

// The overlay's calls take their state from the record, which is the overlay's.
void InitStandInCopies(StandInCopies* layer, OverlayFileSystem* overlay, bool copiesFail,
                       const char16_t* packageDirectory) {
  layer->fileSystem = overlay->fileSystem;
  layer->fileSystem.copyFile = StandInCopy;
  layer->fileSystem.open = StandInOpen;
  layer->fileSystem.findFirst = StandInFindFirst;
  layer->fileSystem.findNext = StandInFindNext;
  layer->fileSystem.findClose = StandInFindClose;
  layer->overlay = overlay;
  layer->copiesFail = copiesFail;
  layer->languageFile[0] = 0;
  WideFormat(layer->checksumList, kPathCapacity, u"%s%s", packageDirectory, kChecksumListName);
  WideFormat(layer->packageEntries, kPathCapacity, u"%s%s", packageDirectory, kEveryEntry);
  layer->packageSearch = nullptr;
}

}  // namespace nimbora
