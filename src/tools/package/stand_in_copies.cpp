#include "stand_in_copies.h"

#include "base/wide_string.h"
#include "display/status_screen.h"
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

}  // namespace

// The overlay's calls take their state from the record, which is the overlay's.
void InitStandInCopies(StandInCopies* layer, OverlayFileSystem* overlay, bool copiesFail,
                       const char16_t* packageDirectory) {
  layer->fileSystem = overlay->fileSystem;
  layer->fileSystem.copyFile = StandInCopy;
  layer->fileSystem.open = StandInOpen;
  layer->overlay = overlay;
  layer->copiesFail = copiesFail;
  layer->languageFile[0] = 0;
  WideFormat(layer->checksumList, kPathCapacity, u"%s%s", packageDirectory, kChecksumListName);
}

}  // namespace nimbora
