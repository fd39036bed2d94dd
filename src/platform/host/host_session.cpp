// A host session: the options of one run, the observed clock, the waits (where
// screens are written and queued keys pressed), and the clean end.
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <climits>
#include <cstdlib>
#include <string>

#include "platform/clock.h"
#include "platform/host/host_clock.h"
#include "platform/host/host_file_system.h"
#include "platform/host/host_internal.h"
#include "platform/host/host_platform.h"

namespace nimbora {

namespace {

constexpr int kWindowPollMilliseconds = 50;

struct Session {
  HostFileSystemState fileSystemState;
  FileSystem fileSystem;
  std::string screensDir;
  int screensWritten;
  Clock* inner;
  VirtualClockState virtualState;
  Clock virtualClock;
  Clock observed;
};

Session session;

void WriteNextScreen() {
  if (session.screensDir.empty()) return;
  char name[24];
  snprintf(name, sizeof name, "/%03d.png", ++session.screensWritten);
  if (!WriteScreenPng((session.screensDir + name).c_str())) {
    fprintf(stderr, "cannot write %s%s\n", session.screensDir.c_str(), name);
  }
}

// With a window on a real clock the sleep keeps the window alive; key
// presses made meanwhile wait in the queue, as on the device.
void ObservedSleep(Clock*, uint32_t milliseconds) {
  LogEvent("\"op\":\"sleep\",\"ms\":%u", milliseconds);
  AboutToWait();
  Clock* inner = session.inner;
  if (!PresentationOpen() || inner == &session.virtualClock) {
    inner->sleep(inner, milliseconds);
    PumpPresentation(0);
    return;
  }
  uint64_t end = inner->now(inner) + milliseconds;
  for (uint64_t now = inner->now(inner); now < end; now = inner->now(inner)) {
    PumpPresentation(static_cast<int>(std::min<uint64_t>(end - now, kWindowPollMilliseconds)));
  }
}

uint64_t ObservedNow(Clock*) { return session.inner->now(session.inner); }

bool Fail(const std::string& message, char* error, int capacity) {
  snprintf(error, static_cast<size_t>(capacity), "%s", message.c_str());
  return false;
}

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
bool InstallFileSystem(const char* root, std::string* message) {
  char absolute[PATH_MAX];
  struct stat status {};
  if (realpath(root, absolute) == nullptr || stat(absolute, &status) != 0 ||
      !S_ISDIR(status.st_mode) ||
      InitHostFileSystem(&session.fileSystem, &session.fileSystemState, absolute) == 0) {
    *message = std::string("the device root ") + root + " is not a directory";
    return false;
  }
  UseFileSystem(&session.fileSystem);
  return true;
}

}  // namespace

int HostStart(const HostOptions* options, char* error, int capacity) {
  session = Session{};
  std::string message;
  if (!InstallFileSystem(options->root == nullptr ? "." : options->root, &message) ||
      !QueueKeyList(options->keys, &message) || !PrepareScreensDir(options->screensDir, &message) ||
      !OpenDrawLog(options->drawLogPath, &message)) {
    CloseDrawLog();
    ForgetQueuedKeys();
    return Fail(message, error, capacity);
  }
  if (options->window && !OpenPresentation(&message)) {
    fprintf(stderr, "%s; going on without a window\n", message.c_str());
  }
  if (options->screensDir != nullptr) session.screensDir = options->screensDir;
  InitVirtualClock(&session.virtualClock, &session.virtualState);
  session.inner = options->virtualClock ? &session.virtualClock : HostRealClock();
  session.observed = Clock{nullptr, ObservedSleep, ObservedNow};
  UseClock(&session.observed);
  ClearScreen();
  return 1;
}

void HostFinish(int exitCode) {
  LogEvent("\"op\":\"exit\",\"code\":%d", exitCode);
  WriteNextScreen();
  session.screensDir.clear();
  CloseDrawLog();
  ClosePresentation();
  ForgetWindows();
  ForgetMessages();
  ForgetQueuedKeys();
}

const char* DeviceRoot() { return session.fileSystemState.root; }

void AboutToWait() {
  PresentScreen();
  WriteNextScreen();
}

void WaitForInput() {
  AboutToWait();
  if (PressNextQueuedKey()) return;
  if (!PresentationOpen()) {
    fprintf(stderr, "waiting for a key press, but no key is left to press (see --keys)\n");
    HostFinish(3);
    exit(3);
  }
  while (!MessagesPending()) PumpPresentation(kWindowPollMilliseconds);
}

}  // namespace nimbora
