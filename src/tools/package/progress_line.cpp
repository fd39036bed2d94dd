#include "progress_line.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>

namespace nimbora {

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kQuietStart = std::chrono::seconds(1);
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

struct ProgressRun {
  bool started;
  Clock::time_point start;
  Clock::time_point lastDrawn;
  int shownLength;  // characters of the line on screen, 0 when none
};

ProgressRun run{};

}  // namespace

void ShowProgress(const char* what, long long done, long long total) {
  Clock::time_point now = Clock::now();
  if (!run.started) {
    run = ProgressRun{true, now, now, 0};
    return;
  }
  if (now - run.start < kQuietStart) return;
  if (run.shownLength > 0 && now - run.lastDrawn < kRedrawInterval) return;
  if (!isatty(2)) return;
  run.lastDrawn = now;
  // Blanks after the text cover the end of a longer line drawn before.
  int length = fprintf(stderr, "\r%s %lld of %lld", what, done, total) - 1;
  if (length < run.shownLength) fprintf(stderr, "%*s", run.shownLength - length, "");
  if (length > run.shownLength) run.shownLength = length;
  fflush(stderr);
}

void EndProgress() {
  if (run.shownLength > 0) {
    fprintf(stderr, "\r%*s\r", run.shownLength, "");
    fflush(stderr);
  }
  run = ProgressRun{};
}

}  // namespace nimbora
