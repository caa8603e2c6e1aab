// The poses of a verification run drawn as charts: position x, y and z over
// time (one series per workflow run, on shared scales), the rotation's four
// components, its length's distance from 1, and the confidence. A motion
// platform's input and output are drawn side by side. Only the poses of calls
// that returned success are drawn, as the data checks read only those.
#pragma once
#include <string>
#include <vector>

#include "run/RunRecord.h"
#include "tracking/PluginExports.h"

namespace Orvel::Report {

// The charts as HTML, or a note when the run has no pose to draw.
std::string poseCharts(const std::vector<Verifier::PoseRecord>& poses, Tracking::PluginKind kind);

}  // namespace Orvel::Report
