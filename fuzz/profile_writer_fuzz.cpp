// The profile writer over any file, section, key and value (each may be
// absent): a value that is set reads back, a removed key reads its default,
// every line the call did not touch is still there byte for byte, and with
// one failing call a result of 1 means the file is what the healthy call
// made of it, while a result of 0 leaves the key reading as before or after
// once the replace that was cut short is finished.
#include <string>
#include <vector>

#include "base/wide_string.h"
#include "fuzz_device.h"
#include "fuzz_input.h"
#include "platform/device_locations.h"
#include "profile/profile_reader.h"
#include "profile/profile_writer.h"

using namespace nimbora;

namespace {

constexpr const char16_t* kPath = kInstalledStatePath;
constexpr const char16_t* kDefault = u"\n";  // no value holds a line end
constexpr int kLongestLine = kProfileLineCapacity - 2;  // without its line end

struct Call {
  const char16_t* section;
  const char16_t* key;    // nullptr: the section goes
  const char16_t* value;  // nullptr: the entry goes
};

std::u16string ReadValue(const Call& call) {
  char16_t output[kProfileLineCapacity];
  ReadProfileString(call.section, call.key != nullptr ? call.key : u"", kDefault, output,
                    kProfileLineCapacity, kPath);
  return output;
}

bool IsUtf16(const std::string& bytes) {
  return bytes.size() >= 2 && static_cast<unsigned char>(bytes[1]) == 0xFE;
}

// The stored lines, each with its line end: in a text file up to each LF
// byte; in a UTF-16 file up to each CR, LF or CR LF unit, the two-byte mark
// and an odd last byte standing apart. Both files are split as the old one
// was: removing a first section may leave a file whose second byte is 0xFE.
std::vector<std::string> StoredLines(const std::string& bytes, bool utf16) {
  std::vector<std::string> lines;
  size_t unit = utf16 ? 2 : 1;
  size_t start = utf16 ? 2 : 0;
  if (utf16) lines.push_back(bytes.substr(0, 2));
  auto at = [&](size_t i) -> unsigned {
    unsigned low = static_cast<unsigned char>(bytes[i]);
    return utf16 ? low | static_cast<unsigned char>(bytes[i + 1]) << 8 : low;
  };
  size_t end = utf16 ? bytes.size() & ~size_t{1} : bytes.size();
  for (size_t i = start; i < end; i += unit) {
    bool lineEnd = at(i) == '\n' || (utf16 && at(i) == '\r');
    if (lineEnd && utf16 && at(i) == '\r' && i + unit < end && at(i + unit) == '\n') i += unit;
    if (lineEnd) {
      lines.push_back(bytes.substr(start, i + unit - start));
      start = i + unit;
    }
  }
  if (start < end) lines.push_back(bytes.substr(start, end - start));
  if (end < bytes.size()) lines.push_back(bytes.substr(end));
  return lines;
}

// A line as the writer stores it in a file of this kind (ASCII text only).
std::string Stored(const std::u16string& text, bool utf16) {
  std::string bytes;
  for (char16_t c : text + u"\r\n") {
    bytes += static_cast<char>(c);
    if (utf16) bytes += '\0';
  }
  return bytes;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string bytes;
  for (const std::string& line : lines) bytes += line;
  return bytes;
}

// A line whose text, without its line end, is longer than the reader's
// capacity takes is read in pieces, whichever line end it has or lacks.
bool HasLongLine(const std::vector<std::string>& lines, bool utf16) {
  size_t unit = utf16 ? 2 : 1;
  for (const std::string& line : lines) {
    size_t text = line.size();
    auto endsInLineEnd = [&] {
      return text >= unit && (line[text - unit] == '\r' || line[text - unit] == '\n') &&
             (!utf16 || line[text - 1] == 0);
    };
    for (int ends = 0; ends < 2 && endsInLineEnd(); ++ends) text -= unit;
    if (text > unit * kLongestLine) return true;
  }
  return false;
}

bool IsPlain(const char16_t* text, const char16_t* excluded) {
  for (; *text != 0; ++text) {
    if (*text < 0x20 || *text > 0x7E) return false;
    for (const char16_t* e = excluded; *e != 0; ++e) {
      if (*text == *e) return false;
    }
  }
  return true;
}

// Names and values the format can hold: printable ASCII, a key that is no
// header or comment and holds no "=", a section without "]", each line short.
bool IsPlainCall(const Call& call) {
  if (!IsPlain(call.section, u"]") || WideLength(call.section) + 2 > kLongestLine) return false;
  if (call.key == nullptr) return true;
  if (!IsPlain(call.key, u"=") || call.key[0] == u'[' || call.key[0] == u';') return false;
  return call.value == nullptr ||
         (IsPlain(call.value, u"") && WideLength(call.key) + 1 + WideLength(call.value) <= kLongestLine);
}

// Whether the lines between the common start and the common end hold only
// what the call asked for: removed lines give way to added ones.
bool IsAskedChange(const Call& call, const std::vector<std::string>& removed,
                   const std::vector<std::string>& added, bool utf16) {
  if (removed.size() > 1 || added.size() > 3) return false;
  std::u16string entry = std::u16string(call.key) + u"=" + call.value;
  std::u16string header = u"[" + std::u16string(call.section) + u"]";
  for (const std::string& line : added) {
    bool closed = !removed.empty() && line.compare(0, removed[0].size(), removed[0]) == 0 &&
                  line.size() - removed[0].size() == (utf16 ? 4u : 2u);
    if (!closed && line != Stored(entry, utf16) && line != Stored(header, utf16) &&
        line != Stored(u"", utf16)) {
      return false;
    }
  }
  return true;
}

// A removed section: the file without one header line and every line up
// to the next header, or the file unchanged when there was no such section.
bool IsSectionRemoved(const std::vector<std::string>& old, const std::vector<std::string>& now,
                      bool utf16) {
  std::string opening = Stored(u"[", utf16).substr(0, utf16 ? 2 : 1);
  auto isHeader = [&](const std::string& line) { return line.compare(0, opening.size(), opening) == 0; };
  for (size_t header = 0; header < old.size(); ++header) {
    if (!isHeader(old[header])) continue;
    // An odd last byte of a UTF-16 file is no text and stays.
    size_t next = header + 1;
    while (next < old.size() && !isHeader(old[next]) && !(utf16 && old[next].size() == 1)) ++next;
    std::vector<std::string> kept(old.begin(), old.begin() + header);
    kept.insert(kept.end(), old.begin() + next, old.end());
    if (kept == now) return true;
  }
  return old == now;
}

// A removed entry: the file without one whole line's bytes, or unchanged.
// Compared as bytes: a line ending in a lone CR followed by an empty LF line
// reads as one line once the entry between them is gone.
bool IsLineRemoved(const std::vector<std::string>& old, const std::string& now) {
  for (size_t removed = 0; removed < old.size(); ++removed) {
    std::string kept;
    for (size_t line = 0; line < old.size(); ++line) {
      if (line != removed) kept += old[line];
    }
    if (kept == now) return true;
  }
  return Joined(old) == now;
}

// Every line the call did not touch is still there: the change is one run of
// lines, placed by matching the common start first or the common end first
// (equal lines around it, such as blank lines, may place it either way).
void CheckUntouchedLines(const Call& call, const std::string& before, const std::string& after) {
  bool utf16 = IsUtf16(before);
  std::vector<std::string> old = StoredLines(before, utf16);
  std::vector<std::string> now = StoredLines(after, utf16);
  if (HasLongLine(old, utf16)) return;  // judged in pieces: a change may fall mid-line
  if (call.key == nullptr) {
    Check(IsSectionRemoved(old, now, utf16));
    return;
  }
  if (call.value == nullptr) {
    Check(IsLineRemoved(old, after));
    return;
  }
  bool asked = false;
  for (bool endFirst : {false, true}) {
    size_t prefix = 0;
    size_t suffix = 0;
    auto samePrefix = [&] { return old[prefix] == now[prefix]; };
    auto sameSuffix = [&] { return old[old.size() - 1 - suffix] == now[now.size() - 1 - suffix]; };
    auto fits = [&] { return prefix + suffix < old.size() && prefix + suffix < now.size(); };
    if (endFirst) {
      while (fits() && sameSuffix()) ++suffix;
    }
    while (fits() && samePrefix()) ++prefix;
    while (fits() && sameSuffix()) ++suffix;
    std::vector<std::string> removed(old.begin() + prefix, old.end() - suffix);
    std::vector<std::string> added(now.begin() + prefix, now.end() - suffix);
    asked = asked || IsAskedChange(call, removed, added, utf16);
  }
  Check(asked);
}

void CheckHealthyCall(const Call& call, bool existed, const std::string& before,
                      const std::string& after) {
  if (!IsPlainCall(call)) return;
  if (call.key != nullptr && call.value != nullptr) Check(ReadValue(call) == call.value);
  if (call.key != nullptr && call.value == nullptr) {
    // Only the first of two entries of one key goes at a time.
    Check(ReadValue(call) == kDefault || after.size() < before.size());
  }
  if (existed) CheckUntouchedLines(call, before, after);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input{data, size};
  FaultRule rule = TakeFaultRule(&input);
  uint8_t shape = TakeByte(&input);
  char16_t section[kProfileLineCapacity];
  char16_t key[kProfileLineCapacity];
  char16_t value[kProfileLineCapacity];
  TakeText(&input, section, kProfileLineCapacity);
  TakeText(&input, key, kProfileLineCapacity);
  TakeText(&input, value, kProfileLineCapacity);
  Call call{section, (shape & 1) ? nullptr : key, (shape & 2) ? nullptr : value};
  bool existed = (shape & 4) == 0;
  std::string before(reinterpret_cast<const char*>(input.data), input.size);

  FuzzDevice device;
  StartFuzzDevice(&device);
  if (existed) Check(PutFile(&device, kPath, before));
  std::u16string valueBefore = ReadValue(call);
  Check(WriteProfileString(call.section, call.key, call.value, kPath) == 1);
  std::string after;
  Check(GetFile(&device, kPath, &after));
  std::u16string valueAfter = ReadValue(call);
  CheckHealthyCall(call, existed, before, after);

  // The same call again from the same file, with one failing call.
  StopFuzzDevice(&device);
  StartFuzzDevice(&device);
  if (existed) Check(PutFile(&device, kPath, before));
  ApplyFaultRule(&device.faults, rule);
  int result = WriteProfileString(call.section, call.key, call.value, kPath);
  ClearFaults(&device.faults);
  std::string faulty;
  bool exists = GetFile(&device, kPath, &faulty);
  if (result == 1) {
    Check(exists && faulty == after);
  } else {
    // A replace cut short may leave the whole new content beside the file,
    // for the next write or start to put in place.
    Check(FinishProfileReplace(kPath) == 1);
    std::u16string valueNow = ReadValue(call);
    Check(valueNow == valueBefore || valueNow == valueAfter);
  }
  StopFuzzDevice(&device);
  return 0;
}
