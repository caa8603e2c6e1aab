#include "run/LatencyFigures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

using Orvel::Verifier::LatencyFigures;
using std::chrono::microseconds;
using std::chrono::nanoseconds;

namespace {

// 1..n microseconds, shuffled: the figures must not depend on the order of the calls.
std::vector<nanoseconds> oneToN(int n) {
  std::vector<nanoseconds> samples;
  for (int i = 1; i <= n; ++i) samples.push_back(microseconds(i));
  std::shuffle(samples.begin(), samples.end(), std::mt19937(7));
  return samples;
}

}  // namespace

TEST(LatencyFigures, PercentilesAreNearestRanks) {
  struct Case {
    int calls;
    int p50, p90, p99, p999, max;  // microseconds
  };
  const Case cases[] = {
      {1000, 500, 900, 990, 999, 1000},
      {1, 1, 1, 1, 1, 1},
      {10, 5, 9, 10, 10, 10},
      {2000, 1000, 1800, 1980, 1998, 2000},
  };
  for (const Case& c : cases) {
    const LatencyFigures figures = LatencyFigures::of("orvel_GetHMDPose", oneToN(c.calls), 1000);
    SCOPED_TRACE(c.calls);
    EXPECT_EQ(figures.calls, static_cast<std::size_t>(c.calls));
    EXPECT_EQ(figures.p50, microseconds(c.p50));
    EXPECT_EQ(figures.p90, microseconds(c.p90));
    EXPECT_EQ(figures.p99, microseconds(c.p99));
    EXPECT_EQ(figures.p999, microseconds(c.p999));
    EXPECT_EQ(figures.max, microseconds(c.max));
  }
}

TEST(LatencyFigures, NoCallsGiveZeros) {
  const LatencyFigures figures = LatencyFigures::of("orvel_UpdatePose", {}, 5);
  EXPECT_EQ(figures.calls, 0u);
  EXPECT_EQ(figures.max, nanoseconds(0));
  EXPECT_EQ(figures.checkText(), "orvel_UpdatePose latency p99 0 us, max 0 us (budget 5 us)");
}

TEST(LatencyFigures, CheckLineInWholeMicrosecondsAgainstTheBudget) {
  struct Case {
    std::int64_t p99Ns;
    std::int64_t maxNs;
    std::uint32_t budgetUs;
    const char* text;
    bool within;
  };
  const Case cases[] = {
      {42000, 180000, 1000, "orvel_GetHMDPose latency p99 42 us, max 180 us (budget 1000 us)", true},
      {1000499, 1000499, 1000, "orvel_GetHMDPose latency p99 1000 us, max 1000 us (budget 1000 us)", true},
      {1000500, 2000000, 1000, "orvel_GetHMDPose latency p99 1001 us, max 2000 us (budget 1000 us)", false},
      {20000000, 20000000, 1000, "orvel_GetHMDPose latency p99 20000 us, max 20000 us (budget 1000 us)", false},
      {400, 499, 0, "orvel_GetHMDPose latency p99 0 us, max 0 us (budget 0 us)", true},
      {500, 500, 0, "orvel_GetHMDPose latency p99 1 us, max 1 us (budget 0 us)", false},
  };
  for (const Case& c : cases) {
    LatencyFigures figures;
    figures.function = "orvel_GetHMDPose";
    figures.p99 = nanoseconds(c.p99Ns);
    figures.max = nanoseconds(c.maxNs);
    figures.budgetUs = c.budgetUs;
    EXPECT_EQ(figures.checkText(), c.text);
    EXPECT_EQ(figures.withinBudget(), c.within) << c.text;
  }
}
