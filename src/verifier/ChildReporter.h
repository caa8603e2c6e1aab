// The isolated child's side of a run: tells the parent, on the channel, each
// plugin call as it begins and returns, each check as it is written, and
// what the run finds besides (for the reports). Lines from plugin threads
// and from the run's thread go out one at a time.
#pragma once
#include <mutex>
#include <string>

#include "platform/ChildProcess.h"
#include "verifier/RunObserver.h"

namespace Orvel::Verifier {

class ChildReporter : public RunObserver {
 public:
  explicit ChildReporter(platform::ParentChannel& channel) : channel_(channel) {}

  void callEntered(const PluginCall& call) override;
  void callLeft(const PluginCall& call) override;
  void checkMade(const Check& check) override;
  void hostLineWritten(const HostCall& call) override;
  void pluginInfoRead(const PluginInfo& info) override;
  void poseAdded(const PoseRecord& pose) override;
  void latencyMeasured(const LatencyFigures& latency) override;

 private:
  void write(const std::string& line);

  platform::ParentChannel& channel_;
  std::mutex mutex_;
};

}  // namespace Orvel::Verifier
