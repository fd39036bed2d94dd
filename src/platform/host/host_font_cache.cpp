// Font matches kept across runs. Setting up fontconfig reads dozens of
// configuration files, which costs more than the rest of a short run; the
// faces a run asks for are nearly always the ones the last run asked for.
//
// The cache file holds the modification times of everything fontconfig
// built its answer from (font directories, configuration files and their
// directories, the user's configuration directory) and, per face, the font
// file with its own time and size. Any difference drops the whole cache or
// that face, and the face is matched afresh: a stale cache never draws with
// another file than fontconfig would choose, nor with a missing one.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/host/host_internal.h"

namespace nimbora {

namespace {

constexpr const char* kHeader = "nimbora font matches 1";

// A file's modification time and size as one text; "-" when it is missing.
std::string StampOf(const std::string& path) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) return "-";
  return std::to_string(status.st_mtim.tv_sec) + "." + std::to_string(status.st_mtim.tv_nsec) +
         "." + std::to_string(status.st_size);
}

std::string Environment(const char* name) {
  const char* value = getenv(name);
  return value == nullptr ? "" : value;
}

// The settings that choose the configuration, which no file time shows.
std::string EnvironmentKey() {
  return "env " + Environment("FONTCONFIG_FILE") + "|" + Environment("FONTCONFIG_PATH") + "|" +
         Environment("FONTCONFIG_SYSROOT") + "|" + Environment("HOME") + "|" +
         Environment("XDG_CONFIG_HOME");
}

std::string UserConfigDirectory() {
  std::string base = Environment("XDG_CONFIG_HOME");
  if (base.empty()) base = Environment("HOME") + "/.config";
  return base + "/fontconfig";
}

void AddPaths(FcStrList* list, std::vector<std::string>* paths, bool withParents) {
  if (list == nullptr) return;
  while (FcChar8* path = FcStrListNext(list)) {
    std::string text = reinterpret_cast<const char*>(path);
    paths->push_back(text);
    if (withParents) paths->push_back(text.substr(0, text.rfind('/')));
  }
  FcStrListDone(list);
}

std::vector<std::string> WatchedPaths(FcConfig* config) {
  std::vector<std::string> paths{UserConfigDirectory()};
  AddPaths(FcConfigGetFontDirs(config), &paths, false);
  AddPaths(FcConfigGetConfigFiles(config), &paths, true);
  std::sort(paths.begin(), paths.end());
  paths.erase(std::unique(paths.begin(), paths.end()), paths.end());
  return paths;
}

bool Storable(const std::string& text) { return text.find_first_of("\t\n") == std::string::npos; }

// "match WEIGHT ITALIC INDEX SUBSTITUTE STAMP\tNAME\tFILE\tFAMILY"
bool ParseMatch(const std::string& line, FaceMatch* match) {
  char stamp[96];
  int italic = 0, substitute = 0;
  size_t name = line.find('\t');
  size_t file = line.find('\t', name + 1);
  size_t family = line.find('\t', file + 1);
  if (family == std::string::npos ||
      sscanf(line.c_str(), "match %d %d %d %d %95s", &match->weight, &italic, &match->index,
             &substitute, stamp) != 5) {
    return false;
  }
  match->name = line.substr(name + 1, file - name - 1);
  match->file = line.substr(file + 1, family - file - 1);
  match->family = line.substr(family + 1);
  match->italic = italic != 0;
  match->substitute = substitute != 0;
  match->byFontFile = false;
  return StampOf(match->file) == stamp;
}

void MakeParentDirectories(const std::string& path) {
  for (size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    mkdir(path.substr(0, slash).c_str(), 0700);
  }
}

}  // namespace

void LoadFontMatches(HostSession* session) {
  if (session->fontCacheRead || session->fontCachePath.empty()) return;
  session->fontCacheRead = true;
  FILE* file = fopen(session->fontCachePath.c_str(), "r");
  if (file == nullptr) return;
  std::vector<FaceMatch> matches;
  bool valid = true;
  char* line = nullptr;
  size_t capacity = 0;
  for (int number = 0; valid && getline(&line, &capacity, file) > 0; ++number) {
    std::string text(line, strcspn(line, "\n"));
    FaceMatch match{};
    if (number == 0) {
      valid = text == kHeader;
    } else if (number == 1) {
      valid = text == EnvironmentKey();
    } else if (text.compare(0, 6, "stamp ") == 0) {
      size_t blank = text.find(' ', 6);
      valid = blank != std::string::npos &&
              StampOf(text.substr(blank + 1)) == text.substr(6, blank - 6);
    } else if (ParseMatch(text, &match)) {
      matches.push_back(match);
    }
  }
  free(line);
  fclose(file);
  if (valid) {
    session->faceMatches.insert(session->faceMatches.end(), matches.begin(), matches.end());
  }
}

// Only a session that asked fontconfig itself has something new to keep.
// Written whole and renamed into place, so a run reading at the same time
// sees the old cache or the new one.
void SaveFontMatches(HostSession* session) {
  if (session->fontConfig == nullptr || session->fontCachePath.empty()) return;
  std::string temporary = session->fontCachePath + ".XXXXXX";
  MakeParentDirectories(temporary);
  int descriptor = mkstemp(&temporary[0]);
  FILE* file = descriptor < 0 ? nullptr : fdopen(descriptor, "w");
  if (file == nullptr) {
    if (descriptor >= 0) close(descriptor);
    return;
  }
  fprintf(file, "%s\n%s\n", kHeader, EnvironmentKey().c_str());
  for (const std::string& path : WatchedPaths(session->fontConfig)) {
    if (Storable(path)) fprintf(file, "stamp %s %s\n", StampOf(path).c_str(), path.c_str());
  }
  for (const FaceMatch& match : session->faceMatches) {
    if (match.byFontFile || match.file.empty() || !Storable(match.name) ||
        !Storable(match.file) || !Storable(match.family)) {
      continue;
    }
    fprintf(file, "match %d %d %d %d %s\t%s\t%s\t%s\n", match.weight, match.italic ? 1 : 0,
            match.index, match.substitute ? 1 : 0, StampOf(match.file).c_str(),
            match.name.c_str(), match.file.c_str(), match.family.c_str());
  }
  bool written = fclose(file) == 0;
  if (!written || rename(temporary.c_str(), session->fontCachePath.c_str()) != 0) {
    unlink(temporary.c_str());
  }
}

}  // namespace nimbora
