// The nimbora-package command line: the usage texts, the options of each
// command, and the dispatch to make, check, preview and inspect.
#include "tools/package/package_command_line.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "package_check.h"
#include "package_summary.h"
#include "package_make.h"
#include "package_preview.h"

namespace {

using namespace nimbora;

const char kUsage[] =
    "usage: nimbora-package COMMAND [OPTIONS]\n"
    "Makes, checks and previews update packages. Each command simulates the\n"
    "Updater's own run; nothing on the device tree is changed.\n"
    "  make     write a package that turns one application directory into another\n"
    "  check    show what a panel would do with a package, and what looks wrong\n"
    "  preview  write the screens a panel would show, for every language\n"
    "  inspect  show a package's version and whether its checksum list holds\n"
    "'nimbora-package COMMAND --help' tells a command's options.\n";

const char kMakeUsage[] =
    "usage: nimbora-package make --from OLD_APP_DIR --to NEW_APP_DIR --version X.Y.Z\n"
    "                            [--time \"YYYY-MM-DD HH:MM:SS\"] [--delete-database]\n"
    "                            [--no-checksums] OUT_DIR\n"
    "Writes to OUT_DIR (new or empty) an update.ini and only the files the package\n"
    "must carry, so that a panel whose application directory equals OLD_APP_DIR\n"
    "ends with NEW_APP_DIR (main.ini compared apart from Version and Update Time).\n"
    "The package is then applied to OLD_APP_DIR in a simulated device and the\n"
    "result compared with NEW_APP_DIR.\n"
    "  --from DIR          the application directory the panels have now\n"
    "  --to DIR            the application directory they are to have\n"
    "  --version X.Y.Z     the package's version, newer than OLD's main.ini\n"
    "  --time TEXT         the package's update time\n"
    "  --delete-database   allow the package to delete or replace Database\\\n"
    "  --no-checksums      leave out update.sha256, the list of the package's files\n"
    "                      and their SHA-256 that the panel checks before it changes\n"
    "                      anything ('sha256sum -c update.sha256' checks a copy on a PC)\n"
    "Exit status: 0 written and verified; 1 the verification found differences\n"
    "(named on stderr); 2 wrong usage, unreadable input, or a change the format\n"
    "cannot express (with the reason).\n";

const char kCheckUsage[] =
    "usage: nimbora-package check --device DEVICE_ROOT [--card | --flash] [--font FILE]\n"
    "                             [--json] PACKAGE_DIR\n"
    "Places PACKAGE_DIR virtually on the card (or in flash) of the device tree at\n"
    "DEVICE_ROOT, simulates the whole run, and prints which package is selected\n"
    "and why, the plan (every step in order, failed ones with their device error;\n"
    "the text leaves out the failures of the run's normal course), the outcome\n"
    "text and the findings, each with a severity, a stable code and, where there\n"
    "is one, the line of update.ini. Errors name what the panel loses (settings\n"
    "of main.ini, files of Database\\, the whole application directory);\n"
    "warnings name what the panel does instead of what was written.\n"
    "  --device DIR   the device tree (DIR/ResidentFlash/Nimbora/...)\n"
    "  --card         the package is \\Storage Card\\Update Nimbora\\ (default)\n"
    "  --flash        the package is \\ResidentFlash\\Update Nimbora\\\n"
    "  --font FILE    measure texts with this font file (the panel's own)\n"
    "  --json         print one JSON object instead of text\n"
    "Exit status: 0 no error finding; 1 one or more; 2 wrong usage or unreadable input.\n";

const char kPreviewUsage[] =
    "usage: nimbora-package preview --device DEVICE_ROOT [--card | --flash] [--font FILE]\n"
    "                               --out DIR PACKAGE_DIR\n"
    "Simulates the run once for every language of the Language.ini the panel\n"
    "would have after the update, and writes the screens it shows as\n"
    "DIR/LANGUAGE/001.png, 002.png ... (800 x 480), and DIR/report.json with\n"
    "every text drawn: its band, its font, and whether it fell back to the small\n"
    "font or was cut.\n"
    "  --device DIR   the device tree\n"
    "  --card, --flash  where the package is placed (default: the card)\n"
    "  --font FILE    draw with this font file instead of a substitute\n"
    "  --out DIR      where the screens and the report go\n"
    "Exit status: 0 written; 2 wrong usage or unreadable input.\n";

const char kInspectUsage[] =
    "usage: nimbora-package inspect PACKAGE_DIR\n"
    "Prints the version and update time that PACKAGE_DIR's update.ini gives, and\n"
    "whether its checksum list (update.sha256) is there and holds, with an error\n"
    "for each file missing, extra or changed, as the panel checks it. No device\n"
    "tree is needed.\n"
    "Exit status: 0 no error finding; 1 one or more; 2 wrong usage or no package.\n";

struct Command {
  const char* name;
  const char* usage;
  std::set<std::string> valueOptions;
  std::set<std::string> flags;
};

struct Parsed {
  std::map<std::string, std::string> values;
  std::set<std::string> flags;
  std::vector<std::string> positional;
};

int UsageError(const Command& command, const std::string& message) {
  fprintf(stderr, "nimbora-package %s: %s\n%s", command.name, message.c_str(), command.usage);
  return kToolUsageStatus;
}

// Returns -1 when the command is to run, otherwise the exit status.
int Parse(const Command& command, int argc, char** argv, Parsed* parsed) {
  for (int i = 2; i < argc; ++i) {
    std::string argument = argv[i];
    if (argument == "--help" || argument == "-h") {
      fputs(command.usage, stdout);
      return 0;
    }
    if (argument.rfind("--", 0) != 0) {
      parsed->positional.push_back(argument);
    } else if (command.flags.count(argument) != 0) {
      parsed->flags.insert(argument);
    } else if (command.valueOptions.count(argument) == 0) {
      return UsageError(command, "unknown option " + argument);
    } else if (++i == argc) {
      return UsageError(command, argument + " needs a value");
    } else {
      parsed->values[argument] = argv[i];
    }
  }
  if (parsed->positional.size() != 1) return UsageError(command, "needs one directory");
  return -1;
}

const char* Value(const Parsed& parsed, const char* option) {
  auto found = parsed.values.find(option);
  return found == parsed.values.end() ? nullptr : found->second.c_str();
}


// --card and --flash, and the options every command needs.
int CheckCommon(const Command& command, const Parsed& parsed, std::initializer_list<const char*> required,
                PackagePlace* place) {
  for (const char* option : required) {
    if (Value(parsed, option) == nullptr) return UsageError(command, std::string(option) + " is required");
  }
  if (parsed.flags.count("--card") != 0 && parsed.flags.count("--flash") != 0) {
    return UsageError(command, "--card and --flash exclude each other");
  }
  *place = parsed.flags.count("--flash") != 0 ? PackagePlace::Flash : PackagePlace::Card;
  const char* font = Value(parsed, "--font");
  FILE* file = font != nullptr ? fopen(font, "rb") : nullptr;
  if (file != nullptr) fclose(file);
  if (font != nullptr && file == nullptr) return UsageError(command, std::string("cannot read ") + font);
  return -1;
}

int Make(int argc, char** argv) {
  Command command{"make", kMakeUsage, {"--from", "--to", "--version", "--time"},
                  {"--delete-database", "--no-checksums"}};
  Parsed parsed;
  PackagePlace place;
  int status = Parse(command, argc, argv, &parsed);
  if (status < 0) status = CheckCommon(command, parsed, {"--from", "--to", "--version"}, &place);
  if (status >= 0) return status;
  MakeArguments arguments{Value(parsed, "--from"), Value(parsed, "--to"), Value(parsed, "--version"),
                          Value(parsed, "--time"), parsed.flags.count("--delete-database") != 0,
                          parsed.positional[0].c_str(), parsed.flags.count("--no-checksums") == 0};
  return RunMake(arguments);
}

int Check(int argc, char** argv) {
  Command command{"check", kCheckUsage, {"--device", "--font"}, {"--card", "--flash", "--json"}};
  Parsed parsed;
  PackagePlace place;
  int status = Parse(command, argc, argv, &parsed);
  if (status < 0) status = CheckCommon(command, parsed, {"--device"}, &place);
  if (status >= 0) return status;
  CheckArguments arguments{{Value(parsed, "--device"), parsed.positional[0].c_str(), place, nullptr},
                           Value(parsed, "--font"), parsed.flags.count("--json") != 0};
  return RunCheck(arguments);
}

int Preview(int argc, char** argv) {
  Command command{"preview", kPreviewUsage, {"--device", "--font", "--out"}, {"--card", "--flash"}};
  Parsed parsed;
  PackagePlace place;
  int status = Parse(command, argc, argv, &parsed);
  if (status < 0) status = CheckCommon(command, parsed, {"--device", "--out"}, &place);
  if (status >= 0) return status;
  PreviewArguments arguments{{Value(parsed, "--device"), parsed.positional[0].c_str(), place, nullptr},
                             Value(parsed, "--font"), Value(parsed, "--out")};
  return RunPreview(arguments);
}

int Inspect(int argc, char** argv) {
  Command command{"inspect", kInspectUsage, {}, {}};
  Parsed parsed;
  int status = Parse(command, argc, argv, &parsed);
  if (status >= 0) return status;
  std::string error;
  status = RunSummary(parsed.positional[0].c_str(), &error);
  if (!error.empty()) fprintf(stderr, "nimbora-package %s: %s\n", command.name, error.c_str());
  return status;
}

}  // namespace

int nimbora::RunPackageTool(int argc, char** argv) {
  std::string name = argc > 1 ? argv[1] : "";
  if (name == "make") return Make(argc, argv);
  if (name == "check") return Check(argc, argv);
  if (name == "preview") return Preview(argc, argv);
  if (name == "inspect") return Inspect(argc, argv);
  if (name == "--help" || name == "-h") {
    fputs(kUsage, stdout);
    return 0;
  }
  fprintf(stderr, "nimbora-package: %s\n%s",
          name.empty() ? "needs a command" : ("unknown command " + name).c_str(), kUsage);
  return kToolUsageStatus;
}
