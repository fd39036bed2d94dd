// One line of progress on stderr for a long step ("comparing 120 of 20000
// files"), shown only when stderr is a terminal and the step has lasted over
// a second, rewritten in place, and cleared by EndProgress.
#pragma once

namespace nimbora {

void ShowProgress(const char* what, long long done, long long total);
// Clears a line that was shown; the next ShowProgress starts a new step.
void EndProgress();

}  // namespace nimbora
