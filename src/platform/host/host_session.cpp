// A host session: the options of one run, its start and its clean finish, the
// clock (real or virtual) with the waits where screens are written and queued
// keys pressed, the draw log, and starting programs.
#include <spawn.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdarg>
#include <cstdlib>

#include "base/utf8.h"
#include "base/wide_string.h"
#include "host_internal.h"
#include "platform/shell.h"

extern char** environ;

namespace nimbora {

HostSession* hostSession = nullptr;

namespace {

constexpr int kWindowPollMilliseconds = 50;

uint64_t MonotonicNanoseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000000000u + static_cast<uint64_t>(now.tv_nsec);
}

uint64_t MonotonicMilliseconds() { return MonotonicNanoseconds() / 1000000u; }

uint64_t SessionNow(Clock*) {
  if (hostSession->virtualClock) return hostSession->virtualTime;
  return MonotonicMilliseconds() - hostSession->realStart;
}

void RealSleep(uint32_t milliseconds) {
  timespec duration{static_cast<time_t>(milliseconds / 1000),
                    static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&duration, &duration) != 0) {
  }
}

// With a window on a real clock the sleep keeps the window alive; key
// presses made meanwhile wait in the queue, as on the device.
void SessionSleep(Clock* clock, uint32_t milliseconds) {
  LogEvent("\"op\":\"sleep\",\"ms\":%u", milliseconds);
  AboutToWait();
  if (hostSession->virtualClock) {
    hostSession->virtualTime += milliseconds;
  } else if (!hostSession->sdlStarted) {
    RealSleep(milliseconds);
  } else {
    uint64_t end = SessionNow(clock) + milliseconds;
    for (uint64_t now = SessionNow(clock); now < end; now = SessionNow(clock)) {
      PumpPresentation(static_cast<int>(std::min<uint64_t>(end - now, kWindowPollMilliseconds)));
    }
  }
  PumpPresentation(0);
}

}  // namespace

void WriteNextScreen() {
  hostSession->textSinceScreen = Rect{};
  if (hostSession->screensDir.empty()) return;
  char name[24];
  snprintf(name, sizeof name, "/%03d.png", ++hostSession->screensWritten);
  std::string path = hostSession->screensDir + name;
  if (!WriteScreenPng(path.c_str())) fprintf(stderr, "cannot write %s\n", path.c_str());
}

int HostScreensWritten() { return hostSession == nullptr ? 0 : hostSession->screensWritten; }

namespace {

bool PrepareScreensDir(const char* dir, std::string* message) {
  if (dir == nullptr) return true;
  struct stat status {};
  if (mkdir(dir, 0777) != 0 && (stat(dir, &status) != 0 || !S_ISDIR(status.st_mode))) {
    *message = std::string("cannot use screens directory ") + dir;
    return false;
  }
  return true;
}

// The root is made absolute: a started program runs in its own directory,
// where a relative root would no longer lead to it.
bool InstallFileSystem(HostSession* session, const char* root, std::string* message) {
  char absolute[PATH_MAX];
  struct stat status {};
  if (realpath(root, absolute) == nullptr || stat(absolute, &status) != 0 ||
      !S_ISDIR(status.st_mode) ||
      InitHostFileSystem(&session->fileSystem, &session->fileSystemState, absolute) == 0) {
    *message = std::string("the device root ") + root + " is not a directory";
    return false;
  }
  return true;
}

bool OpenDrawLog(HostSession* session, const char* path, std::string* message) {
  if (path == nullptr) return true;
  session->drawLog = fopen(path, "w");
  if (session->drawLog == nullptr) {
    *message = std::string("cannot write the draw log ") + path;
    return false;
  }
  // Line by line, so that the log can be read while the run goes on.
  setvbuf(session->drawLog, nullptr, _IOLBF, 0);
  return true;
}

// Keeps what the session needs of the options, so the caller's texts may go.
void KeepOptions(HostSession* session, const HostOptions* options) {
  session->virtualClock = options->virtualClock;
  session->fixedFontAdvance = options->fixedFontAdvance;
  if (options->fontFile != nullptr) session->fontFile = options->fontFile;
  if (options->screensDir != nullptr) session->screensDir = options->screensDir;
  if (options->fontCache != nullptr) session->fontCachePath = options->fontCache;
  if (options->launchTimes != nullptr) session->launchTimesPath = options->launchTimes;
}

bool CheckFontFile(const char* file, std::string* message) {
  if (file == nullptr || access(file, R_OK) == 0) return true;
  *message = std::string("cannot read the font file ") + file;
  return false;
}

bool Prepare(HostSession* session, const HostOptions* options, std::string* message) {
  KeepOptions(session, options);
  session->pixels.reset(
      static_cast<uint32_t*>(calloc(kScreenWidth * kScreenHeight, sizeof(uint32_t))));
  if (session->pixels == nullptr) {
    *message = "no memory for the screen";
    return false;
  }
  session->clock = Clock{nullptr, SessionSleep, SessionNow};
  session->realStart = MonotonicMilliseconds();
  return InstallFileSystem(session, options->root == nullptr ? "." : options->root, message) &&
         QueueKeyList(session, options->keys, message) &&
         PrepareScreensDir(options->screensDir, message) &&
         CheckFontFile(options->fontFile, message) &&
         OpenDrawLog(session, options->drawLogPath, message);
}

// The mapping refuses a link on the way; lstat refuses the program itself
// being one, so nothing outside the device tree is started through a link.
bool IsRegularExecutable(const std::string& path) {
  struct stat status {};
  return lstat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
         access(path.c_str(), X_OK) == 0;
}

bool Spawn(const std::string& path) {
  std::string directory = path.substr(0, path.rfind('/') + 1);
  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return false;
  char* arguments[] = {const_cast<char*>(path.c_str()), nullptr};
  pid_t child = 0;
  bool started = posix_spawn_file_actions_addchdir_np(&actions, directory.c_str()) == 0 &&
                 posix_spawn(&child, path.c_str(), &actions, nullptr, arguments, environ) == 0;
  posix_spawn_file_actions_destroy(&actions);
  return started;
}

void WriteLaunchTime() {
  if (hostSession->launchTimesPath.empty()) return;
  uint64_t now = MonotonicNanoseconds();
  FILE* file = fopen(hostSession->launchTimesPath.c_str(), "a");
  if (file == nullptr) return;
  fprintf(file, "%llu\n", static_cast<unsigned long long>(now));
  fclose(file);
}

}  // namespace

int HostStart(const HostOptions* options, char* error, int capacity) {
  std::string message = "a host session is running already";
  HostSession* session = hostSession == nullptr ? new HostSession{} : nullptr;
  if (session == nullptr || !Prepare(session, options, &message)) {
    delete session;  // the draw log, which Prepare opens last, is not open
    snprintf(error, static_cast<size_t>(capacity), "%s", message.c_str());
    return 0;
  }
  hostSession = session;
  if (options->window && !OpenPresentation(&message)) {
    fprintf(stderr, "%s; going on without a window\n", message.c_str());
  }
  hostSession->previousFileSystem = CurrentFileSystem();
  hostSession->previousClock = CurrentClock();
  UseFileSystem(options->fileSystem != nullptr ? options->fileSystem : &hostSession->fileSystem);
  UseClock(&hostSession->clock);
  return 1;
}

void HostFinish(int exitCode) {
  if (hostSession == nullptr) return;
  LogEvent("\"op\":\"exit\",\"code\":%d", exitCode);
  WriteNextScreen();
  if (hostSession->drawLog != nullptr) fclose(hostSession->drawLog);
  ClosePresentation();
  SaveFontMatches(hostSession);
  ReleaseScreen(hostSession);
  UseFileSystem(hostSession->previousFileSystem);
  UseClock(hostSession->previousClock);
  delete hostSession;
  hostSession = nullptr;
}

void LogEvent(const char* format, ...) {
  if (hostSession == nullptr || hostSession->drawLog == nullptr) return;
  FILE* log = hostSession->drawLog;
  fprintf(log, "{\"t\":%llu,", static_cast<unsigned long long>(ClockMilliseconds()));
  va_list arguments;
  va_start(arguments, format);
  vfprintf(log, format, arguments);
  va_end(arguments);
  fputs("}\n", log);
}

std::string Utf8Of(const char16_t* text, int length) {
  std::string out(static_cast<size_t>(length) * 3 + 1, '\0');
  Utf8FromUtf16(text, length, &out[0], out.size(), 0xFFFD);
  out.resize(out.find('\0'));
  return out;
}

std::string JsonString(const std::string& utf8) {
  std::string out = "\"";
  for (char c : utf8) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escaped[8];
      snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

void AboutToWait() {
  PresentScreen();
  WriteNextScreen();
}

bool WaitForInput() {
  AboutToWait();
  if (!hostSession->queued.empty()) {
    KeyPress press = hostSession->queued.front();
    hostSession->queued.pop_front();
    HostPressKey(press.virtualKey, press.control);
    return true;
  }
  if (!hostSession->sdlStarted) {
    fprintf(stderr, "waiting for a key press, but no key is left to press (see --keys)\n");
    return false;
  }
  while (hostSession->posted.empty() && hostSession->input.empty()) {
    PumpPresentation(kWindowPollMilliseconds);
  }
  return true;
}

// Starting a program: the device path is looked up under the device root and
// a regular executable file there is started in its own directory, without
// arguments, and not waited for.
int StartProgram(ExecuteRequest* request) {
  if (hostSession == nullptr || request == nullptr || request->file == nullptr) return 0;
  char path[kHostPathCapacity];
  bool started =
      MapDevicePath(hostSession->fileSystemState.root, request->file, path, sizeof path) &&
      IsRegularExecutable(path) && Spawn(path);
  LogEvent("\"op\":\"launch\",\"path\":%s,\"ok\":%s",
           JsonString(Utf8Of(request->file, WideLength(request->file))).c_str(),
           started ? "true" : "false");
  WriteLaunchTime();
  return started ? 1 : 0;
}

}  // namespace nimbora
