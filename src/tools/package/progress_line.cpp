#include "progress_line.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <optional>

namespace nimbora {

namespace {

using Clock = std::chrono::steady_clock;

std::optional<Clock::time_point> stepStart;
Clock::time_point lastShown;
int shownLength = 0;

}  // namespace

void ShowProgress(const char* what, long long done, long long total) {
  Clock::time_point now = Clock::now();
  if (!stepStart) stepStart = now;
  // Rewriting the line more often than ten times a second only costs time.
  if (now - *stepStart < std::chrono::seconds(1) || now - lastShown < std::chrono::milliseconds(100) ||
      !isatty(STDERR_FILENO)) {
    return;
  }
  lastShown = now;
  int length = fprintf(stderr, "\r%s %lld of %lld files", what, done, total) - 1;
  for (int i = length; i < shownLength; ++i) fputc(' ', stderr);
  if (length > shownLength) shownLength = length;
  fflush(stderr);
}

void EndProgress() {
  if (shownLength > 0) fprintf(stderr, "\r%*s\r", shownLength, "");
  fflush(stderr);
  shownLength = 0;
  stepStart.reset();
}

}  // namespace nimbora
