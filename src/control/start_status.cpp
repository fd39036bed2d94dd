#include "control/start_status.h"

#include "base/wide_string.h"

namespace nimbora {

StartStatus DecodeStartStatus(const char16_t* commandLine) {
  if (commandLine == nullptr) return StartStatus::None;
  if (WideCompareNoCase(commandLine, u"SUCCESS") == 0) return StartStatus::Success;
  if (WideCompareNoCase(commandLine, u"FAILURE") == 0) return StartStatus::Failure;
  return StartStatus::None;
}

}  // namespace nimbora
