// The checks of --strict=1, made once after the last workflow under the
// header " Check pose data:": the pose data, the latency of the pose function
// and the threads left running after shutdown.
#pragma once
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <thread>
#include <vector>

#include "run/Check.h"
#include "run/RunRecord.h"
#include "run/VerificationRun.h"
#include "tracking/PluginExports.h"

namespace Orvel::Verifier {

// The number of strict checks: seven for a tracking plugin, three for a
// motion platform plugin.
std::int32_t strictCheckCount(Tracking::PluginKind kind);
// The texts of the strict checks, in report order, the latency check's as it
// is before the calls are timed: "orvel_GetHMDPose latency (budget 1000 us)".
std::vector<std::string> strictCheckTexts(Tracking::PluginKind kind, std::uint32_t latencyBudgetUs);

// The pose data checks of the kind, in report order, judged on the poses of
// the calls that returned 0 (a motion platform's outputs only). A failed one
// names the first offending pose and member in its cause ("pose 3:
// position[1] is NaN"). Time stamps and frame numbers are compared within
// each workflow, as a plugin starts again after each orvel_PluginInit.
std::vector<Check> poseDataChecks(Tracking::PluginKind kind, const std::vector<PoseRecord>& poses);

// The thread check: the number of threads against `before`, waiting up to
// `grace` for threads that are ending.
Check threadCheck(std::optional<std::size_t> before, std::chrono::milliseconds grace);

// The strict checks of one run; nothing happens unless its settings ask for them.
class StrictChecks {
 public:
  explicit StrictChecks(VerificationRun& run) : run_(run), active_(run.settings().strict) {}

  // Before the first orvel_PluginInit: how many threads the process has.
  void countThreadsBeforeInit();

  // Times 1,000 more calls of the pose function, 1 ms apart, on the steady
  // clock (the first time only: later workflows are not timed again).
  template <typename Call>
  void measureLatency(Tracking::PluginExport id, Call&& call) {
    if (!active_ || measured_) return;
    measured_ = true;
    std::vector<std::chrono::nanoseconds> samples;
    samples.reserve(kLatencyCalls);
    const auto began = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < kLatencyCalls; ++i) {
      run_.watchCall(id, [&] {
        const auto callBegan = std::chrono::steady_clock::now();
        call();
        samples.push_back(std::chrono::steady_clock::now() - callBegan);
        return 0;
      });
      std::this_thread::sleep_for(kLatencyInterval);
      run_.progress().latency(i + 1, kLatencyCalls);
    }
    latencyDuration_ = std::chrono::steady_clock::now() - began;
    run_.setLatency(LatencyFigures::of(Tracking::exportName(id), std::move(samples), run_.settings().latencyBudgetUs));
  }

  // After the last workflow: the header and the checks.
  void check();

  // The number of calls that the latency burst times.
  static constexpr std::size_t kLatencyCalls = 1000;

 private:
  static constexpr std::chrono::milliseconds kLatencyInterval{1};

  VerificationRun& run_;
  const bool active_;
  bool measured_ = false;
  std::chrono::nanoseconds latencyDuration_{0};
  std::optional<std::size_t> threadsBefore_;
};

}  // namespace Orvel::Verifier
