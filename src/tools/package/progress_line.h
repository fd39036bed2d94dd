// A progress line for long steps: "what done of total" on stderr, rewritten
// in place. Shown only on a terminal and only once a step has taken a
// second, so quick runs, pipes and logs see nothing of it.
#pragma once

namespace nimbora {

// Call as often as wanted; the line is redrawn at most ten times a second.
void ShowProgress(const char* what, long long done, long long total);
// Clears the line if one was shown; the next ShowProgress starts a new run.
void EndProgress();

}  // namespace nimbora
