// The isolated child's side of a run: tells the parent, on the channel, each
// plugin call as it begins and returns (with how long it took by this
// process's clock, which judges it against the deadline), each check as it
// is written, and what the run finds besides (for the reports). Lines from
// plugin threads and from the run's thread go out one at a time.
#pragma once
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

#include "platform/ChildProcess.h"
#include "run/RunObserver.h"

namespace Orvel::Verifier {

class ChildReporter : public RunObserver {
 public:
  // `deadlineMs` 0: no deadline. A call that returns after its deadline is
  // told to the parent, and then this process waits for the parent to end
  // it: nothing more of the run is written.
  ChildReporter(platform::ParentChannel& channel, std::uint32_t deadlineMs)
      : channel_(channel), deadline_(std::chrono::milliseconds(deadlineMs)) {}

  void callEntered(const PluginCall& call) override;
  void callLeft(const PluginCall& call) override;
  void checkMade(const Check& check) override;
  void hostLineWritten(const HostCall& call) override;
  void pluginInfoRead(const PluginInfo& info) override;
  void poseAdded(const PoseRecord& pose) override;
  void latencyMeasured(const LatencyFigures& latency) override;
  void runStopped(std::size_t check) override;
  void summaryWritten(std::int32_t total) override;

 private:
  void write(const std::string& line);

  platform::ParentChannel& channel_;
  const std::chrono::nanoseconds deadline_;
  std::chrono::steady_clock::time_point callBegan_;
  std::mutex mutex_;
};

}  // namespace Orvel::Verifier
