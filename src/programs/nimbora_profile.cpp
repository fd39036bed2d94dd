// nimbora-profile: reads and changes a profile file on the host exactly as
// the panel does, for package authors and field engineers.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/utf8.h"
#include "base/wide_string.h"
#include "platform/host/host_platform.h"
#include "profile/profile_reader.h"
#include "profile/profile_writer.h"

namespace {

using namespace nimbora;

constexpr int kTextCapacity = 4096;
constexpr int kDefaultCapacity = 260;
constexpr int kMaxCapacity = kTextCapacity;

const char kUsage[] =
    "usage: nimbora-profile get FILE SECTION KEY [--default TEXT] [--capacity N]\n"
    "       nimbora-profile set FILE SECTION KEY VALUE\n"
    "       nimbora-profile delete FILE SECTION [KEY]\n"
    "       nimbora-profile --version\n"
    "Reads or changes one value of a profile file exactly as the panel does.\n"
    "  get     prints the value (the default when there is none)\n"
    "  set     writes the value, adding the section or key when missing\n"
    "  delete  removes the key, or the whole section when no KEY is given\n"
    "  --default TEXT  what get prints when the value is missing (default: empty)\n"
    "  --capacity N    the reader's buffer in 16-bit units, 1 to 4096 (default 260)\n"
    "Both are also written --option=value. -- after the command lets FILE begin with -.\n"
    "Exit status: 0 done; 1 the file could not be read or written; 2 wrong usage.\n";

int Usage() {
  std::fputs(kUsage, stderr);
  return 2;
}

int IsHelp(const char* word) { return std::strcmp(word, "--help") == 0 || std::strcmp(word, "-h") == 0; }

// "--help" or "--version" as the command or in place of a command's file;
// later words are sections, keys and values, which may be spelt anyhow.
int Asks(int argc, char** argv, int (*is)(const char* word)) {
  return (argc > 1 && is(argv[1])) || (argc > 2 && is(argv[2]));
}
int IsVersion(const char* word) { return std::strcmp(word, "--version") == 0; }

struct WideText {
  char16_t text[kTextCapacity];
};

int ToWide(const char* text, WideText* wide) {
  return Utf16FromUtf8(text, wide->text, kTextCapacity);
}

// The host root "/" stands for the device's "\", so a host path becomes the
// device path of the same components; a relative one is taken from here.
int ToDevicePath(const char* hostPath, WideText* devicePath) {
  char absolute[kHostPathCapacity];
  if (hostPath[0] == '/') {
    if (std::strlen(hostPath) >= sizeof absolute) return 0;
    std::strcpy(absolute, hostPath);
  } else {
    if (getcwd(absolute, sizeof absolute) == nullptr) return 0;
    size_t used = std::strlen(absolute);
    if (used + 1 + std::strlen(hostPath) >= sizeof absolute) return 0;
    absolute[used] = '/';
    std::strcpy(absolute + used + 1, hostPath);
  }
  for (char* c = absolute; *c != 0; ++c) {
    if (*c == '/') *c = '\\';
  }
  return ToWide(absolute, devicePath);
}

// Accepts 1 to kMaxCapacity written in decimal digits only.
int ParseCapacity(const char* text, int* capacity) {
  if (*text == 0 || std::strspn(text, "0123456789") != std::strlen(text)) return 0;
  if (std::strlen(text) > 9) return 0;
  *capacity = std::atoi(text);
  return *capacity >= 1 && *capacity <= kMaxCapacity;
}

int PrintWide(const char16_t* text) {
  static char utf8[4 * kTextCapacity];
  if (!Utf8FromUtf16(text, WideLength(text), utf8, sizeof utf8)) return 0;
  std::printf("%s\n", utf8);
  return 1;
}

// The value of option name at argv[*i], written "--name=value" or as the
// next word (*i then moves onto it); nullptr when argv[*i] is not it.
const char* OptionValue(const char* name, int argc, char** argv, int* i) {
  size_t length = std::strlen(name);
  if (std::strncmp(argv[*i], name, length) != 0) return nullptr;
  if (argv[*i][length] == '=') return argv[*i] + length + 1;
  if (argv[*i][length] != 0 || *i + 1 >= argc) return nullptr;
  return argv[++*i];
}

int Get(const WideText& path, int argc, char** argv) {
  static WideText section, key, defaultText, output;
  int capacity = kDefaultCapacity;
  defaultText.text[0] = 0;
  if (!ToWide(argv[0], &section) || !ToWide(argv[1], &key)) return Usage();
  for (int i = 2; i < argc; ++i) {
    if (const char* value = OptionValue("--default", argc, argv, &i)) {
      if (!ToWide(value, &defaultText)) return Usage();
    } else if (const char* number = OptionValue("--capacity", argc, argv, &i)) {
      if (!ParseCapacity(number, &capacity)) return Usage();
    } else {
      return Usage();
    }
  }
  ReadProfileString(section.text, key.text, defaultText.text, output.text, capacity, path.text);
  return PrintWide(output.text) ? 0 : 1;
}

// set FILE SECTION KEY VALUE, delete FILE SECTION [KEY]: exit 0 on result 1.
int Write(const WideText& path, int isSet, int argc, char** argv) {
  static WideText texts[3];
  const char16_t* given[3] = {nullptr, nullptr, nullptr};
  int valid = isSet ? argc == 3 : argc == 1 || argc == 2;
  if (!valid) return Usage();
  for (int i = 0; i < argc; ++i) {
    if (!ToWide(argv[i], &texts[i])) return Usage();
    given[i] = texts[i].text;
  }
  return WriteProfileString(given[0], given[1], given[2], path.text) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (Asks(argc, argv, IsHelp)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (Asks(argc, argv, IsVersion)) {
    std::fputs("nimbora-profile " NIMBORA_VERSION "\n", stdout);
    return 0;
  }
  // "--" after the command ends the options: FILE may then be "--help".
  if (argc > 2 && std::strcmp(argv[2], "--") == 0) {
    argv[2] = argv[1];
    ++argv;
    --argc;
  }
  if (argc < 4) return Usage();
  static FileSystem fileSystem;
  static WideText path;
  if (!OpenHostFileSystem(&fileSystem, "/") || !ToDevicePath(argv[2], &path)) {
    std::fprintf(stderr, "nimbora-profile: cannot use %s\n", argv[2]);
    return 2;
  }
  UseFileSystem(&fileSystem);
  const char* command = argv[1];
  if (std::strcmp(command, "get") == 0) return argc >= 5 ? Get(path, argc - 3, argv + 3) : Usage();
  if (std::strcmp(command, "set") == 0) return Write(path, 1, argc - 3, argv + 3);
  if (std::strcmp(command, "delete") == 0) return Write(path, 0, argc - 3, argv + 3);
  return Usage();
}
