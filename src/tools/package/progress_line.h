// A progress line on stderr for long passes, only when stderr is a terminal
// and only once a pass has taken a second; rewritten in place with "\r".
#pragma once

namespace nimbora {

void ShowProgress(const char* what, long long done, long long total);
// Clears the line, if one was shown.
void EndProgress();

}  // namespace nimbora
