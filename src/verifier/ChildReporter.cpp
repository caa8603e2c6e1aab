#include "verifier/ChildReporter.h"

#include <string>

#include "verifier/ChildProtocol.h"
#include "verifier/RelayedDetails.h"

namespace Orvel::Verifier {

using namespace ChildProtocol;

void ChildReporter::callEntered(const PluginCall& call) {
  // An export's check text already reads "call <export>".
  const std::string event = call.kind == PluginCall::Kind::Load ? std::string(kEnter) + std::string(kEnterLoad) + call.text
                                                                : std::string(kEnter) + call.text;
  write(oneLine(event));
}

void ChildReporter::callLeft(const PluginCall&) { write(std::string(kLeave)); }

void ChildReporter::checkMade(const Check& check) {
  write(oneLine(std::string(check.passed() ? kCheckPassed : kCheckFailed) + check.text));
  write(checkDetailLine(check));
}

void ChildReporter::hostLineWritten(const HostCall& call) { write(hostCallLine(call)); }

void ChildReporter::pluginInfoRead(const PluginInfo& info) { write(pluginInfoLine(info)); }

void ChildReporter::poseAdded(const PoseRecord& pose) { write(poseLine(pose)); }

void ChildReporter::latencyMeasured(const LatencyFigures& latency) { write(latencyLine(latency)); }

void ChildReporter::write(const std::string& line) {
  const std::lock_guard<std::mutex> lock(mutex_);
  channel_.writeLine(line);
}

}  // namespace Orvel::Verifier
