#include "progress_line.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>

namespace nimbora {

namespace {

using Clock = std::chrono::steady_clock;

struct Progress {
  bool started = false;
  bool shown = false;
  Clock::time_point start;
  Clock::time_point lastShown;
};

Progress progress;

}  // namespace

void ShowProgress(const char* what, long long done, long long total) {
  Clock::time_point now = Clock::now();
  if (!progress.started) {
    progress = Progress{true, false, now, now};
    return;
  }
  // Rewriting the line for every step would cost more than the pass.
  if (now - progress.start < std::chrono::seconds(1) || now - progress.lastShown < std::chrono::milliseconds(100)) {
    return;
  }
  if (!isatty(2)) return;
  progress.lastShown = now;
  progress.shown = true;
  fprintf(stderr, "\r%s: %lld of %lld", what, done, total);
  fflush(stderr);
}

void EndProgress() {
  if (progress.shown) fprintf(stderr, "\r\033[K");
  progress = Progress{};
}

}  // namespace nimbora
