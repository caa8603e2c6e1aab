#include "isolation/ChildReporter.h"

#include <string>
#include <thread>

#include "isolation/ChildProtocol.h"
#include "isolation/RelayedDetails.h"

namespace Orvel::Verifier {

using namespace ChildProtocol;

void ChildReporter::callEntered(const PluginCall& call) {
  callBegan_ = std::chrono::steady_clock::now();
  // An export's check text already reads "call <export>".
  const std::string event = call.kind == PluginCall::Kind::Load ? std::string(kEnter) + std::string(kEnterLoad) + call.text
                                                                : std::string(kEnter) + call.text;
  write(oneLine(event));
}

void ChildReporter::callLeft(const PluginCall&) {
  const std::chrono::nanoseconds took = std::chrono::steady_clock::now() - callBegan_;
  write(std::string(kLeave) + std::to_string(took.count()));
  if (deadline_.count() == 0 || took <= deadline_) return;
  // The parent ends the run at this call and kills this process.
  for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
}

void ChildReporter::checkMade(const Check& check) {
  write(oneLine(std::string(check.passed() ? kCheckPassed : kCheckFailed) + check.text));
  write(checkDetailLine(check));
}

void ChildReporter::hostLineWritten(const HostCall& call) { write(hostCallLine(call)); }

void ChildReporter::pluginInfoRead(const PluginInfo& info) { write(pluginInfoLine(info)); }

void ChildReporter::poseAdded(const PoseRecord& pose) { write(poseLine(pose)); }

void ChildReporter::latencyMeasured(const LatencyFigures& latency) { write(latencyLine(latency)); }

void ChildReporter::runStopped(std::size_t check) { write(stoppedLine(check)); }

void ChildReporter::summaryWritten(std::int32_t total) { write(summaryLine(total)); }

void ChildReporter::write(const std::string& line) {
  const std::lock_guard<std::mutex> lock(mutex_);
  channel_.writeLine(line);
}

}  // namespace Orvel::Verifier
