#include "profile/profile_reader.h"

#include "base/wide_string.h"
#include "profile/profile_scan.h"
#include "profile/profile_stream.h"

namespace nimbora {

namespace {

// Finds the value and copies it into output; 1 when the entry was found.
int FindValue(const char16_t* section, const char16_t* key, char16_t* output, int capacity,
              const char16_t* path) {
  Stream* stream = OpenStream(path, u"r");
  if (stream == nullptr) return 0;
  ProfileScan scan{};
  if (ChooseProfileEncoding(stream)) ScanProfile(stream, section, key, &scan);
  CloseStream(stream);
  if (scan.entryFound) WideCopyBounded(output, scan.value, capacity);
  return scan.entryFound;
}

}  // namespace

int ReadProfileString(const char16_t* section, const char16_t* key, const char16_t* defaultText,
                      char16_t* output, int capacity, const char16_t* path) {
  if (capacity <= 0) return 0;
  // The default is bounded like a found value: a long default must not
  // overrun the caller's buffer.
  if (!FindValue(section, key, output, capacity, path)) {
    WideCopyBounded(output, defaultText, capacity);
  }
  return WideLength(output);
}

}  // namespace nimbora
