#include "profile/profile_reader.h"

#include "base/wide_string.h"
#include "platform/file_system.h"
#include "profile/profile_lines.h"
#include "profile/profile_scan.h"

namespace nimbora {

int Utf16Mode = 0;

namespace {

// A file open for reading in blocks.
struct Reading {
  Stream* stream;
  ProfileLines lines;
  unsigned char block[kProfileBlockSize];
};

// 0 when the file cannot be opened or its start cannot be read.
int OpenReading(const char16_t* path, Reading* reading) {
  reading->stream = OpenStream(path, u"r");
  if (reading->stream == nullptr) return 0;
  if (StartStreamLines(&reading->lines, reading->stream, reading->block)) return 1;
  CloseStream(reading->stream);
  return 0;
}

// 1 when every call on the file succeeded, the close included.
int CloseReading(Reading* reading) {
  int closed = CloseStream(reading->stream);
  return closed && !reading->lines.failed;
}

// Finds the value and copies it into output; 1 when the entry was found.
int FindValue(const char16_t* section, const char16_t* key, char16_t* output, int capacity,
              const char16_t* path) {
  Reading reading;
  if (!OpenReading(path, &reading)) return 0;
  Utf16Mode = reading.lines.utf16;
  ProfileScan scan;
  ScanProfile(&reading.lines, section, key, &scan);
  // A value is trusted only from a file read without any failure.
  if (!CloseReading(&reading) || !scan.entryFound) return 0;
  WideCopyBounded(output, scan.value, capacity);
  return 1;
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

int ForEachProfileLine(const char16_t* path, void (*take)(const char16_t* line, void* context),
                       void* context) {
  Reading reading;
  if (!OpenReading(path, &reading)) return 0;
  char16_t line[kProfileLineCapacity];
  while (ReadProfileLine(&reading.lines, line)) take(line, context);
  return CloseReading(&reading);
}

}  // namespace nimbora
