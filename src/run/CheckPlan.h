// The checks a verification run plans to make, in the order it makes them:
// the reports name each check from it, the checks made and those that a run
// which ended early never made.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "run/RunSettings.h"
#include "tracking/PluginExports.h"

namespace Orvel::Verifier {

struct PlannedCheck {
  std::string text;               // as its report line says it ("call orvel_GetHMDPose")
  std::uint32_t workflowRun = 0;  // the workflow (of --repeat) it belongs to, from 1; 0 for none
  std::uint32_t poseCall = 0;     // a pose call: which of its workflow's, from 1; else 0
};

// The pose calls of each workflow.
constexpr std::uint32_t kPoseCallsPerWorkflow = 5;

// The calls of one workflow of the kind, in order: init, (start,) the pose
// calls, (stop,) shutdown.
std::vector<Tracking::PluginExport> workflowOf(Tracking::PluginKind kind);

// "Loading DLL <path>": the load check's text, the path as typed.
std::string loadCheckText(const std::string& pluginPath);

// The load check, the kind's export checks, every workflow's calls and, with
// --strict=1, the strict checks. A check whose text depends on what it finds
// (the latency check) has the text it has before it is measured.
std::vector<PlannedCheck> planChecks(Tracking::PluginKind kind, const std::string& pluginPath,
                                     const RunSettings& settings);

}  // namespace Orvel::Verifier
