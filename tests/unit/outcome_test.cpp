#include <gtest/gtest.h>

#include "driver/outcome.h"

namespace {

TEST(ExitCodes, DoneAndCancelledAreZeroFailedOneGivenUpTwo) {
  using Kind = modMain::Outcome::Kind;
  EXPECT_EQ(modMain::ExitCode({Kind::kDone, L""}), 0);
  EXPECT_EQ(modMain::ExitCode({Kind::kCancelled, L""}), 0);
  EXPECT_EQ(modMain::ExitCode({Kind::kFailed, L"x"}), 1);
  EXPECT_EQ(modMain::ExitCode({Kind::kGaveUp, L"x"}), 2);
}

}  // namespace
