// Random files, random sequences of set and remove: the reader must see
// what was last written and every line no call touched must survive.
#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "profile/profile_reader.h"
#include "profile/profile_writer.h"
#include "profile_files.h"

namespace nimbora {
namespace {

const char* const kSections[] = {"Main", "Option", "Data", "Extra"};
const char* const kKeys[] = {"Version", "Title", "file1", "file10", "Update Time"};
constexpr int kSectionCount = 4;
constexpr int kKeyCount = 5;

std::u16string Wide(const std::string& text) { return std::u16string(text.begin(), text.end()); }

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

struct Original {
  std::vector<std::string> lines;  // with their line ends
  std::vector<std::string> owner;  // "SECTION|KEY" of an entry line, else ""
  std::map<std::string, std::string> values;
};

class Generator {
 public:
  explicit Generator(unsigned seed) : random(seed) {}

  int Pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(random); }
  bool Chance(int percent) { return Pick(100) < percent; }

  std::string Value() {
    std::string value;
    for (int n = Pick(12); n > 0; --n) value += static_cast<char>('a' + Pick(26));
    return value;
  }
  // The caller may spell names in any letter case.
  std::string Spelled(const char* name) {
    std::string text = name;
    if (Chance(30)) text = Upper(text);
    return text;
  }

  Original File() {
    Original file;
    lineEnd = Chance(50) ? "\n" : "\r\n";
    if (Chance(30)) Add(&file, "Version=outside", "");
    for (int s = 0; s < kSectionCount - 1; ++s) {
      if (Chance(25)) continue;  // some sections are missing, so calls append them
      Add(&file, std::string("[") + kSections[s] + "]" + (Chance(20) ? " ; note" : ""), "");
      for (int k = 0; k < kKeyCount; ++k) Body(&file, kSections[s], kKeys[k]);
    }
    if (!file.lines.empty() && Chance(40)) OpenLastLine(&file);
    return file;
  }

 private:
  // The file's last line loses its line end (a blank one disappears).
  static void OpenLastLine(Original* file) {
    std::string& last = file->lines.back();
    last.resize(last.find_first_of("\r\n"));
    if (last.empty()) {
      file->lines.pop_back();
      file->owner.pop_back();
    }
  }

  void Add(Original* file, const std::string& text, const std::string& owner) {
    // Line ends mixed within one file now and then.
    file->lines.push_back(text + (Chance(10) ? "\r\n" : lineEnd));
    file->owner.push_back(owner);
  }
  void Body(Original* file, const char* section, const char* key) {
    if (Chance(20)) Add(file, "", "");
    if (Chance(20)) Add(file, std::string(";") + key + "=commented", "");
    if (Chance(50)) return;
    std::string owner = Upper(section) + "|" + Upper(key);
    std::string value = Value();
    file->values[owner] = value;
    Add(file, std::string(key) + "=" + value, owner);
  }

  std::mt19937 random;
  std::string lineEnd;
};

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line;
  return text;
}

// The file's text as 8-bit characters, split after each LF.
std::vector<std::string> Lines(const std::string& bytes, bool utf16) {
  std::string text = bytes;
  if (utf16) {
    EXPECT_EQ(bytes.size() % 2, 0u);
    text.clear();
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
      EXPECT_EQ(bytes[i + 1], 0) << "8-bit text in a UTF-16 file";
      text += bytes[i];
    }
  }
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    end = end == std::string::npos ? text.size() : end + 1;
    lines.push_back(text.substr(start, end - start));
    start = end;
  }
  return lines;
}

// An empty line or header that a new section brings, or an entry line
// holding a value that is still set.
bool IsWrittenLine(const std::string& line, const std::map<std::string, std::string>& expected) {
  if (line == "\r\n") return true;
  for (const char* section : kSections) {
    if (Upper(line) == "[" + Upper(section) + "]\r\n") return true;
    for (const char* key : kKeys) {
      auto value = expected.find(Upper(section) + "|" + Upper(key));
      if (value != expected.end() && Upper(line) == Upper(key + ("=" + value->second) + "\r\n")) {
        return true;
      }
    }
  }
  return false;
}

using ProfilePropertyTest = ProfileFileTest;

TEST_F(ProfilePropertyTest, RandomCallsKeepUntouchedLinesAndDeliverLastValues) {
  Generator generator(20120501);
  for (int round = 0; round < 300; ++round) {
    SCOPED_TRACE(round);
    bool utf16 = generator.Chance(50);
    Original file = generator.File();
    std::string text = Joined(file.lines);
    Store(utf16 ? Utf16File(text) : text);

    std::map<std::string, std::string> expected = file.values;
    std::map<std::string, bool> touched;
    for (int call = generator.Pick(8) + 1; call > 0; --call) {
      int s = generator.Pick(kSectionCount);
      int k = generator.Pick(kKeyCount);
      std::string owner = Upper(kSections[s]) + "|" + Upper(kKeys[k]);
      std::u16string section = Wide(generator.Spelled(kSections[s]));
      std::u16string key = Wide(generator.Spelled(kKeys[k]));
      touched[owner] = true;
      if (generator.Chance(30)) {
        expected.erase(owner);
        ASSERT_EQ(WriteProfileString(section.c_str(), key.c_str(), nullptr, kFile), 1);
      } else {
        std::string value = generator.Value();
        expected[owner] = value;
        ASSERT_EQ(WriteProfileString(section.c_str(), key.c_str(), Wide(value).c_str(), kFile), 1);
      }
    }

    for (const char* section : kSections) {
      for (const char* key : kKeys) {
        std::string owner = Upper(section) + "|" + Upper(key);
        char16_t output[64];
        ReadProfileString(Wide(section).c_str(), Wide(key).c_str(), u"-", output, 64, kFile);
        EXPECT_EQ(std::u16string(output), expected.count(owner) ? Wide(expected[owner]) : u"-")
            << section << "/" << key;
      }
    }

    // Untouched lines in their order, byte for byte; a last line without
    // line end may have been closed. Anything else is an empty line, a
    // header or an entry written by a call.
    std::vector<std::string> after = Lines(Stored(), utf16);
    size_t next = 0;
    for (const std::string& line : after) {
      while (next < file.lines.size() && touched.count(file.owner[next])) ++next;
      const std::string& old = next < file.lines.size() ? file.lines[next] : "";
      bool closedLast = next + 1 == file.lines.size() && old.back() != '\n' && line == old + "\r\n";
      if (next < file.lines.size() && (line == old || closedLast)) {
        ++next;
        continue;
      }
      EXPECT_TRUE(IsWrittenLine(line, expected)) << "stray line: " << line;
    }
    while (next < file.lines.size() && touched.count(file.owner[next])) ++next;
    EXPECT_EQ(next, file.lines.size()) << "lost line: " << file.lines[next];
  }
}

}  // namespace
}  // namespace nimbora
