// The latency of a plugin's pose function, from the calls that the strict
// checks time: percentiles by nearest rank and the largest call.
#pragma once
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Orvel::Verifier {

struct LatencyFigures {
  std::string function;  // "orvel_GetHMDPose", "orvel_UpdatePose"
  std::size_t calls = 0;
  std::chrono::nanoseconds p50{0};
  std::chrono::nanoseconds p90{0};
  std::chrono::nanoseconds p99{0};
  std::chrono::nanoseconds p999{0};
  std::chrono::nanoseconds max{0};
  std::uint32_t budgetUs = 0;
  // Every timed call, shortest first, for the report's histogram.
  std::vector<std::chrono::nanoseconds> samples;

  // The figures of the timed calls (in any order); all zero without calls.
  static LatencyFigures of(std::string function, std::vector<std::chrono::nanoseconds> samples,
                           std::uint32_t budgetUs);

  // A duration in whole microseconds, rounded to the nearest.
  static std::int64_t wholeMicroseconds(std::chrono::nanoseconds duration);
  // The 99th percentile, in whole microseconds, is within the budget.
  bool withinBudget() const;
  // "orvel_GetHMDPose latency p99 42 us, max 180 us (budget 1000 us)"
  std::string checkText() const;
};

}  // namespace Orvel::Verifier
