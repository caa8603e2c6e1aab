// What a verification run does beyond its standard workflow, as the command
// line asks.
#pragma once
#include <cstdint>

namespace Orvel::Verifier {

struct RunSettings {
  // --strict=1: after the workflow, checks of the pose data, of the pose
  // function's latency and of threads left running.
  bool strict = false;
  // --repeat=N: the workflow (init to shutdown) runs N times in one load.
  std::uint32_t repeat = 1;
  // --latency-budget-us=N: the 99th percentile of the pose function's
  // latency that the latency check allows.
  std::uint32_t latencyBudgetUs = 1000;
  // --explain=1: "  Why: " lines after a failed check and after a stateless
  // section whose API version the runtime refuses.
  bool explain = false;
};

}  // namespace Orvel::Verifier
