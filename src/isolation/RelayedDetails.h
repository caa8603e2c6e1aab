// What an isolated child tells its parent besides calls and checks, so that
// the parent's view of the run holds everything the reports show: a check's
// cause, duration and status, the host services' lines, what the plugin says
// about itself, the poses, the latency figures, and whether the run stopped
// early or wrote its summary. Each is one JSON object after
// the "data " of a channel line. Texts from the plugin and poses travel as
// their bytes in hexadecimal (parent and child are the same program), so
// that any byte, and every double, NaN and negative zero included, arrives
// as it was.
#pragma once
#include <string>

#include "run/RunRecord.h"
#include "run/VerificationRun.h"

namespace Orvel::Verifier::ChildProtocol {

// The channel lines, "data " included.
std::string checkDetailLine(const Check& check);
std::string hostCallLine(const HostCall& call);
std::string pluginInfoLine(const PluginInfo& info);
std::string poseLine(const PoseRecord& pose);
std::string latencyLine(const LatencyFigures& latency);
std::string stoppedLine(std::size_t check);
std::string summaryLine(std::int32_t total);

// Applies what follows "data " to the parent's view; false when it is not a
// detail this program writes (the line is then ignored).
bool applyDetail(VerificationRun& view, const std::string& payload);

}  // namespace Orvel::Verifier::ChildProtocol
