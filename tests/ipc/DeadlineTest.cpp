#include "ipc/Deadline.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

TEST(Deadline, ATimeoutOfZeroOrLessHasPassedAtOnceAndALongOneHasNot) {
  const struct {
    std::int64_t timeoutMs;
    bool passed;
  } cases[] = {{0, true}, {-5, true}, {-86400000, true}, {3600000, false}};
  for (const auto& c : cases) {
    const Orvel::Deadline deadline(c.timeoutMs);
    EXPECT_EQ(deadline.hasPassed(), c.passed) << c.timeoutMs;
    // Never more than the timeout: the clock only moves on.
    EXPECT_LE(deadline.remainingMs(), c.timeoutMs) << c.timeoutMs;
    EXPECT_EQ(deadline.remainingMs() <= 0, c.passed) << c.timeoutMs;
  }
}

}  // namespace
