// The start status word given as the whole command line.
#pragma once

namespace nimbora {

enum class StartStatus { None = 0, Success = 1, Failure = 2 };

StartStatus DecodeStartStatus(const char16_t* commandLine);

}  // namespace nimbora
