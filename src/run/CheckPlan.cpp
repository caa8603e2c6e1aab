#include "run/CheckPlan.h"

#include "run/StrictChecks.h"

namespace Orvel::Verifier {

using Tracking::PluginExport;

std::vector<PluginExport> workflowOf(Tracking::PluginKind kind) {
  const bool tracking = kind == Tracking::PluginKind::Tracking;
  std::vector<PluginExport> calls{PluginExport::PluginInit};
  if (tracking) calls.push_back(PluginExport::TrackerStart);
  calls.insert(calls.end(), kPoseCallsPerWorkflow, tracking ? PluginExport::GetHMDPose : PluginExport::UpdatePose);
  if (tracking) calls.push_back(PluginExport::TrackerStop);
  calls.push_back(PluginExport::PluginShutdown);
  return calls;
}

std::string loadCheckText(const std::string& pluginPath) { return "Loading DLL " + pluginPath; }

std::vector<PlannedCheck> planChecks(Tracking::PluginKind kind, const std::string& pluginPath,
                                     const RunSettings& settings) {
  std::vector<PlannedCheck> plan{{loadCheckText(pluginPath)}};
  for (const Tracking::PluginExportEntry& entry : Tracking::pluginExports()) {
    if (entry.isNeededBy(kind)) plan.push_back({std::string("Find API function: ") + entry.name});
  }
  const std::vector<PluginExport> calls = workflowOf(kind);
  for (std::uint32_t run = 1; run <= settings.repeat; ++run) {
    std::uint32_t pose = 0;
    for (const PluginExport call : calls) {
      const bool poseCall = call == PluginExport::GetHMDPose || call == PluginExport::UpdatePose;
      plan.push_back({std::string("call ") + Tracking::exportName(call), run, poseCall ? ++pose : 0});
    }
  }
  if (settings.strict) {
    for (std::string& text : strictCheckTexts(kind, settings.latencyBudgetUs)) plan.push_back({std::move(text)});
  }
  return plan;
}

}  // namespace Orvel::Verifier
