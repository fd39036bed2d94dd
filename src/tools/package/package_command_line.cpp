// The nimbora-package command line: the usage texts, the options of each
// command, and the dispatch to make, check, preview and inspect.
#include "tools/package/package_command_line.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "package_check.h"
#include "package_summary.h"
#include "package_make.h"
#include "package_preview.h"
#include "platform/device_locations.h"
#include "platform/host/host_platform.h"

namespace {

using namespace nimbora;

const char kUsage[] =
    "usage: nimbora-package COMMAND [OPTIONS]\n"
    "       nimbora-package --version\n"
    "Makes, checks and previews update packages. Each command simulates the\n"
    "Updater's own run; nothing on the device tree is changed.\n"
    "  make     write a package that turns one application directory into another\n"
    "  check    show what a panel would do with a package, and what looks wrong\n"
    "  preview  write the screens a panel would show, for every language\n"
    "  inspect  show what a package is, without a device: values, lists, checksums\n"
    "'nimbora-package COMMAND --help' tells a command's options. Every option\n"
    "taking a value is also written --option=value; -- ends the options.\n";

const char kMakeUsage[] =
    "usage: nimbora-package make --from OLD_APP_DIR --to NEW_APP_DIR --version X.Y.Z\n"
    "                            [--time \"YYYY-MM-DD H:MM:SS\"] [--delete-database]\n"
    "                            [--replace-settings] [--no-checksums] [--json] OUT_DIR\n"
    "Writes OUT_DIR (new or empty): an update.ini and only the files the package\n"
    "must carry, so that a panel whose application directory equals OLD_APP_DIR\n"
    "ends with NEW_APP_DIR. The package is written beside OUT_DIR, applied to\n"
    "OLD_APP_DIR in a simulated device, the result compared with NEW_APP_DIR, and\n"
    "only then put in place. Each panel keeps its own main.ini (Title, Langue ...;\n"
    "the run records Version and Update Time) and its Database\\ unless told.\n"
    "  --from DIR          the application directory the panels have now\n"
    "  --to DIR            the application directory they are to have\n"
    "  --version X.Y.Z     the package's version, newer than OLD's main.ini\n"
    "                      (three numbers from 0 to 255)\n"
    "  --time TEXT         the package's update time, as the panel writes it\n"
    "  --delete-database   allow the package to delete or replace Database\\\n"
    "  --replace-settings  replace the panels' settings: \"Delete\" = all, and NEW's\n"
    "                      main.ini is copied over each panel's own\n"
    "  --no-checksums      leave out update.sha256, the list of the package's files\n"
    "                      and their SHA-256 that the panel checks before it changes\n"
    "                      anything ('sha256sum -c update.sha256' checks a copy on a PC)\n"
    "  --json              print one JSON object instead of the summary line\n"
    "Exit status: 0 written and verified; 1 the verification found differences\n"
    "(named on stderr, nothing written); 2 wrong usage, unreadable input, a value\n"
    "the panel would misread, a change the package cannot carry without harm, or\n"
    "a failed write (with the reason; nothing written).\n";

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
    "                               [--json] --out DIR PACKAGE_DIR\n"
    "Simulates the run and writes, for every language of the Language.ini the\n"
    "panel would have after the update, each screen it can show with the package\n"
    "(800 x 480): DIR/LANGUAGE/1-update.png (while the package is applied),\n"
    "2-success.png or 2-error.png (the outcome), the other outcome as\n"
    "2-error-other-outcome.png or 2-success-other-outcome.png, 3-launch.png and\n"
    "4-open-failed.png (the application cannot be started). DIR/report.json\n"
    "tells whether the package is applied, and every text on every screen: its\n"
    "key, band, width, font, whether it fell back to the small font or was cut,\n"
    "and why a built-in English text is shown. DIR/index.html shows every\n"
    "language's screens side by side with those warnings.\n"
    "  --device DIR   the device tree\n"
    "  --card, --flash  where the package is placed (default: the card)\n"
    "  --font FILE    draw with this font file instead of a substitute\n"
    "  --out DIR      where the screens, the report and the contact sheet go\n"
    "  --json         print the report on stdout instead of the files written\n"
    "Exit status: 0 written (also when the package is not applied, which stderr\n"
    "says: then only the launch screens are drawn); 2 wrong usage or unreadable input.\n";

const char kInspectUsage[] =
    "usage: nimbora-package inspect [--json] PACKAGE_DIR\n"
    "Prints the version and update time that PACKAGE_DIR's update.ini gives as the\n"
    "panel reads them, the base version make recorded, the Delete and Update\n"
    "instructions entry by entry (Update entries resolved in the package), the\n"
    "files the package carries but never copies, whether its checksum list\n"
    "(update.sha256) is there and holds, as the panel checks it, and what is\n"
    "wrong with update.ini itself. No device tree is needed.\n"
    "  --json         print one JSON object instead of text\n"
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

// Input the command cannot work on: the reason, without the usage.
int Refuse(const Command& command, const std::string& message) {
  fprintf(stderr, "nimbora-package %s: %s\n", command.name, message.c_str());
  return kToolUsageStatus;
}

int PrintVersion() {
  fputs("nimbora-package " NIMBORA_VERSION "\n", stdout);
  return 0;
}

// Returns -1 when the command is to run, otherwise the exit status.
int Parse(const Command& command, int argc, char** argv, Parsed* parsed) {
  bool options = true;
  for (int i = 2; i < argc; ++i) {
    std::string argument = argv[i];
    if (!options || (argument.rfind("--", 0) != 0 && argument != "-h")) {
      parsed->positional.push_back(argument);
      continue;
    }
    if (argument == "--") {
      options = false;
      continue;
    }
    if (argument == "--help" || argument == "-h") {
      fputs(command.usage, stdout);
      return 0;
    }
    // make's --version is the package's; the other commands tell the tool's.
    if (argument == "--version" && command.valueOptions.count(argument) == 0) return PrintVersion();
    size_t equals = argument.find('=');
    std::string name = argument.substr(0, equals);
    if (command.flags.count(name) != 0) {
      if (equals != std::string::npos) return UsageError(command, name + " takes no value");
      parsed->flags.insert(name);
    } else if (command.valueOptions.count(name) == 0) {
      return UsageError(command, "unknown option " + name);
    } else if (equals != std::string::npos) {
      parsed->values[name] = argument.substr(equals + 1);
    } else if (++i == argc) {
      return UsageError(command, name + " needs a value");
    } else {
      parsed->values[name] = argv[i];
    }
  }
  if (parsed->positional.size() != 1) return UsageError(command, "needs one directory");
  return -1;
}

const char* Value(const Parsed& parsed, const char* option) {
  auto found = parsed.values.find(option);
  return found == parsed.values.end() ? nullptr : found->second.c_str();
}

bool Flag(const Parsed& parsed, const char* flag) { return parsed.flags.count(flag) != 0; }

// --card and --flash, and the options every command needs.
int CheckCommon(const Command& command, const Parsed& parsed, std::initializer_list<const char*> required,
                PackagePlace* place) {
  for (const char* option : required) {
    if (Value(parsed, option) == nullptr) return UsageError(command, std::string(option) + " is required");
  }
  if (Flag(parsed, "--card") && Flag(parsed, "--flash")) {
    return UsageError(command, "--card and --flash exclude each other");
  }
  *place = Flag(parsed, "--flash") ? PackagePlace::Flash : PackagePlace::Card;
  const char* font = Value(parsed, "--font");
  if (font != nullptr && !IsLoadableFont(font)) {
    return Refuse(command, std::string(font) + ": FreeType cannot load it as a font");
  }
  return -1;
}

// A device root holds the application directory; people often give that directory itself.
int CheckDeviceRoot(const Command& command, const char* root) {
  HostTree tree;
  std::string error;
  if (!OpenHostTree(root, &tree, &error)) return Refuse(command, error);
  std::u16string application(kApplicationDirectory);
  application.pop_back();
  DirectoryEntry entry;
  Search* search = tree.fileSystem.findFirst(&tree.fileSystem, application.c_str(), &entry);
  if (search != nullptr) tree.fileSystem.findClose(&tree.fileSystem, search);
  if (search != nullptr && (entry.attributes & kAttributeDirectory) != 0) return -1;
  std::string ignored;
  bool isApplication = ReadWholeFile(&tree.fileSystem, u"\\main.ini", &ignored);
  return Refuse(command, std::string(root) + " has no ResidentFlash/Nimbora" +
                             (isApplication ? "; --device takes the device's root, not the application directory"
                                            : ""));
}

int CheckPackage(const Command& command, const char* packageDir) {
  std::string error;
  return IsPackageDirectory(packageDir, &error) ? -1 : Refuse(command, error);
}

// The device and the package of check and preview.
int CheckDeviceAndPackage(const Command& command, const Parsed& parsed) {
  int status = CheckDeviceRoot(command, Value(parsed, "--device"));
  return status >= 0 ? status : CheckPackage(command, parsed.positional[0].c_str());
}

std::filesystem::path Canonical(const char* path) {
  std::error_code error;
  std::filesystem::path canonical = std::filesystem::weakly_canonical(path, error);
  if (error) canonical = std::filesystem::absolute(path).lexically_normal();
  return canonical.has_filename() ? canonical : canonical.parent_path();
}

bool IsInside(const char* path, const char* directory) {
  std::filesystem::path inner = Canonical(path);
  std::filesystem::path outer = Canonical(directory);
  return std::mismatch(outer.begin(), outer.end(), inner.begin(), inner.end()).first == outer.end();
}

// Writing the package into OLD or NEW would change what it is made from.
int CheckOutside(const Command& command, const Parsed& parsed) {
  const char* out = parsed.positional[0].c_str();
  for (const char* option : {"--to", "--from"}) {
    if (IsInside(out, Value(parsed, option))) {
      return Refuse(command, std::string(out) + " is inside " + option + " " + Value(parsed, option) +
                                 ": the package would be written into a tree it is made from");
    }
  }
  return -1;
}

int Make(int argc, char** argv) {
  Command command{"make", kMakeUsage, {"--from", "--to", "--version", "--time"},
                  {"--delete-database", "--no-checksums", "--replace-settings", "--json"}};
  Parsed parsed;
  PackagePlace place;
  int status = Parse(command, argc, argv, &parsed);
  if (status < 0) status = CheckCommon(command, parsed, {"--from", "--to", "--version"}, &place);
  if (status < 0) status = CheckOutside(command, parsed);
  if (status >= 0) return status;
  MakeArguments arguments{Value(parsed, "--from"), Value(parsed, "--to"), Value(parsed, "--version"),
                          Value(parsed, "--time"), Flag(parsed, "--delete-database"),
                          parsed.positional[0].c_str(), !Flag(parsed, "--no-checksums"),
                          Flag(parsed, "--replace-settings"), Flag(parsed, "--json")};
  return RunMake(arguments);
}

int Check(int argc, char** argv) {
  Command command{"check", kCheckUsage, {"--device", "--font"}, {"--card", "--flash", "--json"}};
  Parsed parsed;
  PackagePlace place;
  int status = Parse(command, argc, argv, &parsed);
  if (status < 0) status = CheckCommon(command, parsed, {"--device"}, &place);
  if (status < 0) status = CheckDeviceAndPackage(command, parsed);
  if (status >= 0) return status;
  CheckArguments arguments{{Value(parsed, "--device"), parsed.positional[0].c_str(), place, nullptr},
                           Value(parsed, "--font"), Flag(parsed, "--json")};
  return RunCheck(arguments);
}

int Preview(int argc, char** argv) {
  Command command{"preview", kPreviewUsage, {"--device", "--font", "--out"}, {"--card", "--flash", "--json"}};
  Parsed parsed;
  PackagePlace place;
  int status = Parse(command, argc, argv, &parsed);
  if (status < 0) status = CheckCommon(command, parsed, {"--device", "--out"}, &place);
  if (status < 0) status = CheckDeviceAndPackage(command, parsed);
  if (status >= 0) return status;
  PreviewArguments arguments{{Value(parsed, "--device"), parsed.positional[0].c_str(), place, nullptr},
                             Value(parsed, "--font"), Value(parsed, "--out"), Flag(parsed, "--json")};
  return RunPreview(arguments);
}

int Inspect(int argc, char** argv) {
  Command command{"inspect", kInspectUsage, {}, {"--json"}};
  Parsed parsed;
  int status = Parse(command, argc, argv, &parsed);
  if (status < 0) status = CheckPackage(command, parsed.positional[0].c_str());
  if (status >= 0) return status;
  std::string error;
  status = RunSummary(parsed.positional[0].c_str(), Flag(parsed, "--json"), &error);
  if (!error.empty()) Refuse(command, error);
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
  if (name == "--version") return PrintVersion();
  fprintf(stderr, "nimbora-package: %s\n%s",
          name.empty() ? "needs a command" : ("unknown command " + name).c_str(), kUsage);
  return kToolUsageStatus;
}
