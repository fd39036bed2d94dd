#include "control/start_status.h"

#include <gtest/gtest.h>

namespace nimbora {
namespace {

TEST(DecodeStartStatus, MatchesTheWholeCommandLineIgnoringCase) {
  struct Case {
    const char16_t* commandLine;
    StartStatus expected;
  } cases[] = {
      {u"SUCCESS", StartStatus::Success},  {u"success", StartStatus::Success},
      {u"FAILURE", StartStatus::Failure},  {u"Failure", StartStatus::Failure},
      {u"SUCCESS ", StartStatus::None},    {u" FAILURE", StartStatus::None},
      {u"SUCCESS FAILURE", StartStatus::None}, {u"", StartStatus::None},
      {nullptr, StartStatus::None},
  };
  for (const Case& c : cases) EXPECT_EQ(DecodeStartStatus(c.commandLine), c.expected);
}

}  // namespace
}  // namespace nimbora
