// nimbora-update: runs the Updater on a device tree kept in a host directory,
// in a window when a display is there, or headless.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/utf8.h"
#include "control/main_window.h"
#include "platform/host/host_platform.h"
#include "platform/shell.h"

namespace {

constexpr int kUsageStatus = 2;

const char kUsage[] =
    "usage: nimbora-update [--root DIR] [--headless] [--virtual-clock] [--keys LIST]\n"
    "                      [--screens DIR] [--draw-log FILE] [--launch-times FILE]\n"
    "                      [--] [WORD...]\n"
    "       nimbora-update --version\n"
    "Runs the Updater on the device tree in DIR (default: the current directory).\n"
    "The WORDs, joined by single blanks, are its command line (SUCCESS or FAILURE).\n"
    "  --headless       no window, even when a display is there\n"
    "  --virtual-clock  waits return at once; the clock advances instead\n"
    "  --keys LIST      key presses for the key waits: letters, digits, space,\n"
    "                   enter, escape, ctrl+LETTER, separated by commas\n"
    "  --screens DIR    write the screen as DIR/001.png, 002.png ... at every wait\n"
    "  --draw-log FILE  write one JSON line per drawing and window event\n"
    "  --launch-times FILE  append the monotonic clock (ns) at each program start\n"
    "Every option taking a value is also written --option=value; -- ends the options.\n"
    "Exit status: the Updater's (0); 2 for wrong usage; 3 when a headless run\n"
    "waits for a key and none is left.\n"
    "Font matches are kept in $NIMBORA_FONT_CACHE (empty: not kept), by default\n"
    "$XDG_CACHE_HOME/nimbora/font-matches or ~/.cache/nimbora/font-matches.\n";

nimbora::HostOptions DefaultOptions() {
  nimbora::HostOptions options{};
  options.root = ".";
  return options;
}

struct Arguments {
  nimbora::HostOptions options = DefaultOptions();
  bool headless = false;
  std::string commandLine;
};

int UsageError(const std::string& message) {
  fprintf(stderr, "nimbora-update: %s\n%s", message.c_str(), kUsage);
  return kUsageStatus;
}

// Returns -1 when the program is to run, otherwise its exit status.
int Parse(int argc, char** argv, Arguments* arguments) {
  const char** values[] = {&arguments->options.root, &arguments->options.keys,
                           &arguments->options.screensDir, &arguments->options.drawLogPath,
                           &arguments->options.launchTimes};
  const char* valueOptions[] = {"--root", "--keys", "--screens", "--draw-log", "--launch-times"};
  constexpr int kValueOptions = sizeof valueOptions / sizeof *valueOptions;
  int i = 1;
  for (; i < argc && (strncmp(argv[i], "--", 2) == 0 || strcmp(argv[i], "-h") == 0); ++i) {
    std::string option = argv[i];
    if (option == "--") {
      ++i;
      break;
    }
    if (option == "--help" || option == "-h") {
      fputs(kUsage, stdout);
      return 0;
    }
    if (option == "--version") {
      fputs("nimbora-update " NIMBORA_VERSION "\n", stdout);
      return 0;
    }
    if (option == "--headless") {
      arguments->headless = true;
      continue;
    }
    if (option == "--virtual-clock") {
      arguments->options.virtualClock = true;
      continue;
    }
    // --option=value: the value stays in argv, which outlives the run.
    const char* equals = strchr(argv[i], '=');
    if (equals != nullptr) option.resize(static_cast<size_t>(equals - argv[i]));
    int known = 0;
    while (known < kValueOptions && option != valueOptions[known]) ++known;
    if (known == kValueOptions) {
      bool flag = option == "--headless" || option == "--virtual-clock";
      return UsageError(flag ? option + " takes no value" : "unknown option " + option);
    }
    if (equals != nullptr) {
      *values[known] = equals + 1;
      continue;
    }
    if (++i == argc) return UsageError(option + " needs a value");
    *values[known] = argv[i];
  }
  for (; i < argc; ++i) {
    if (!arguments->commandLine.empty()) arguments->commandLine += ' ';
    arguments->commandLine += argv[i];
  }
  return -1;
}

// "" when the matches are not to be kept.
std::string FontCachePath() {
  if (const char* chosen = getenv("NIMBORA_FONT_CACHE")) return chosen;
  const char* cache = getenv("XDG_CACHE_HOME");
  const char* home = getenv("HOME");
  if (cache != nullptr && *cache == '/') return std::string(cache) + "/nimbora/font-matches";
  if (home != nullptr && *home == '/') return std::string(home) + "/.cache/nimbora/font-matches";
  return "";
}

}  // namespace

int main(int argc, char** argv) {
  Arguments arguments;
  int status = Parse(argc, argv, &arguments);
  if (status >= 0) return status;
  const char* display = getenv("DISPLAY");
  arguments.options.window = !arguments.headless && display != nullptr && *display != 0;
  std::string fontCache = FontCachePath();
  if (!fontCache.empty()) arguments.options.fontCache = fontCache.c_str();

  char error[512];
  if (!nimbora::HostStart(&arguments.options, error, sizeof error)) return UsageError(error);
  std::u16string commandLine(arguments.commandLine.size() + 1, u'\0');
  nimbora::Utf16FromUtf8(arguments.commandLine.c_str(), &commandLine[0],
                         static_cast<int>(commandLine.size()));
  status = nimbora::ProgramEntry(nullptr, commandLine.c_str(), nimbora::kShowNormal);
  nimbora::HostFinish(status);
  return status;
}
