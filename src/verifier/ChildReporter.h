// The isolated child's side of a run: tells the parent, on the channel, each
// plugin call as it begins and returns and each check as it is written.
#pragma once
#include "platform/ChildProcess.h"
#include "verifier/RunObserver.h"

namespace Orvel::Verifier {

class ChildReporter : public RunObserver {
 public:
  explicit ChildReporter(platform::ParentChannel& channel) : channel_(channel) {}

  void callEntered(const PluginCall& call) override;
  void callLeft(const PluginCall& call) override;
  void checkMade(const Check& check) override;

 private:
  platform::ParentChannel& channel_;
};

}  // namespace Orvel::Verifier
