#include "run/RunProgress.h"

#include "logging/ProgressLine.h"
#include "run/StrictChecks.h"
#include "tracking/PluginExports.h"
#include "tracking/ReportOutput.h"

namespace Orvel::Verifier {

namespace {
// The depth of a run's part: below the program's own steps.
constexpr std::size_t kRunDepth = 1;
}  // namespace

void RunProgress::workflow(std::uint32_t run) {
  workflowRun_ = run;
  show("");
}

void RunProgress::latency(std::size_t call, std::size_t calls) {
  show(call < calls ? "latency " + std::to_string(call) + " of " + std::to_string(calls) + " calls" : "");
}

void RunProgress::relayedCall(const std::string& text) {
  if (text == std::string("call ") + Tracking::exportName(Tracking::PluginExport::PluginInit)) {
    uncheckedCalls_ = 0;
    workflow(workflowRun_ + 1);
    return;
  }
  // The stateless section before the first workflow run checks nothing.
  if (workflowRun_ == 0) return;
  // The second call in a row without a check is the burst's second.
  if (++uncheckedCalls_ >= 2) latency(uncheckedCalls_, StrictChecks::kLatencyCalls);
}

void RunProgress::show(const std::string& step) const {
  if (!Tracking::reportsToStandardOutput()) return;
  std::string text = "workflow run " + std::to_string(workflowRun_) + " of " + std::to_string(workflowRuns_);
  if (!step.empty()) text += ", " + step;
  ProgressLine::instance().show(kRunDepth, text);
}

}  // namespace Orvel::Verifier
