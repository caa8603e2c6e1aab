#include "report/PoseCharts.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "report/SvgChart.h"

namespace Orvel::Report {

namespace {

using Verifier::PoseRecord;

const char* const kAxes[] = {"x", "y", "z"};

// The length of a rotation, without overflow or underflow in its squares;
// not finite when a component is not.
double rotationLength(const Pose& pose) {
  double largest = 0;
  for (const double c : pose.rotation) {
    if (!std::isfinite(c)) return std::nan("");
    largest = std::max(largest, std::abs(c));
  }
  if (largest == 0) return 0;
  double sum = 0;
  for (const double c : pose.rotation) sum += (c / largest) * (c / largest);
  return largest * std::sqrt(sum);
}

// One side of the poses (a motion platform's input, or the pose returned).
struct Side {
  const char* name;  // "" for a tracking plugin's only side
  const Pose& (*pose)(const PoseRecord&);
};

const Pose& outputOf(const PoseRecord& record) { return record.output; }
const Pose& inputOf(const PoseRecord& record) { return record.input ? *record.input : record.output; }

// The charts of one side, in the order drawn.
std::vector<SvgChart> sideCharts(const std::vector<const PoseRecord*>& poses, const Side& side) {
  const auto timeOf = [&](const PoseRecord* r) { return side.pose(*r).timeStamp; };
  bool timeMoves = false;
  for (const PoseRecord* r : poses) timeMoves = timeMoves || timeOf(r) != timeOf(poses.front());
  // Time stamps are the host's time in milliseconds, as it passes it to the
  // plugin; where they never change, the poses are placed by their call.
  const auto xOf = [&](const PoseRecord* r) {
    return timeMoves ? (static_cast<double>(timeOf(r)) - static_cast<double>(timeOf(poses.front()))) / 1000.0
                     : static_cast<double>(r->call);
  };
  const std::string xLabel = timeMoves ? "time (s from the first pose)" : "pose call (the time stamps do not change)";
  const std::string prefix = *side.name != '\0' ? std::string(side.name) + ": " : "";

  std::vector<SvgChart> charts;
  for (int axis = 0; axis < 3; ++axis) {
    charts.emplace_back(prefix + "position " + kAxes[axis], xLabel, std::string(kAxes[axis]) + " (plugin units)");
    std::map<std::uint32_t, ChartSeries> runs;
    for (const PoseRecord* r : poses) {
      ChartSeries& series = runs[r->workflowRun];
      if (series.name.empty()) series.name = "workflow run " + std::to_string(r->workflowRun);
      series.points.push_back({xOf(r), side.pose(*r).position[axis]});
    }
    for (auto& run : runs) charts.back().addSeries(std::move(run.second));
  }
  SvgChart rotation(prefix + "rotation", xLabel, "component (unitless)");
  for (int c = 0; c < 4; ++c) {
    ChartSeries series{"rotation[" + std::to_string(c) + "]", {}};
    for (const PoseRecord* r : poses) series.points.push_back({xOf(r), side.pose(*r).rotation[c]});
    rotation.addSeries(std::move(series));
  }
  charts.push_back(std::move(rotation));
  SvgChart length(prefix + "rotation length \xE2\x88\x92 1", xLabel, "length \xE2\x88\x92 1 (unitless)");
  ChartSeries lengths{"length \xE2\x88\x92 1", {}};
  for (const PoseRecord* r : poses) lengths.points.push_back({xOf(r), rotationLength(side.pose(*r)) - 1});
  length.addSeries(std::move(lengths));
  charts.push_back(std::move(length));
  SvgChart confidence(prefix + "confidence", xLabel, "confidence (0 to 1)");
  ChartSeries confidences{"confidence", {}};
  for (const PoseRecord* r : poses) confidences.points.push_back({xOf(r), side.pose(*r).confidence});
  confidence.addSeries(std::move(confidences));
  charts.push_back(std::move(confidence));

  // One time axis for all charts (and so for every workflow run); each its
  // own value axis, so that a small x beside a large z stays visible.
  std::optional<std::pair<double, double>> x;
  for (const SvgChart& chart : charts) {
    const auto range = chart.xRange();
    if (!range) continue;
    x = x ? std::make_pair(std::min(x->first, range->first), std::max(x->second, range->second)) : *range;
  }
  for (SvgChart& chart : charts) {
    chart.setRanges(x.value_or(std::make_pair(0.0, 1.0)), chart.yRange().value_or(std::make_pair(-1.0, 1.0)));
  }

  // Marks where a time stamp or a frame number goes back within a workflow run.
  std::map<std::uint32_t, const PoseRecord*> previous;
  for (const PoseRecord* r : poses) {
    const PoseRecord*& before = previous[r->workflowRun];
    if (before != nullptr) {
      const Pose& now = side.pose(*r);
      const Pose& then = side.pose(*before);
      for (SvgChart& chart : charts) {
        if (now.timeStamp < then.timeStamp) chart.addMark(xOf(r), "time stamp goes back");
        if (now.frameNo < then.frameNo) chart.addMark(xOf(r), "frame number goes back");
      }
    }
    before = r;
  }
  return charts;
}

}  // namespace

std::string poseCharts(const std::vector<PoseRecord>& poses, Tracking::PluginKind kind) {
  std::vector<const PoseRecord*> returned;
  for (const PoseRecord& pose : poses) {
    if (pose.status == 0) returned.push_back(&pose);
  }
  std::string html;
  const std::size_t failed = poses.size() - returned.size();
  if (failed > 0) {
    html += "<p class=\"note\">" + std::to_string(failed) + " of " + std::to_string(poses.size()) +
            " pose calls returned a failure: their poses are not drawn.</p>";
  }
  if (returned.empty()) return html + "<p class=\"note\">No pose to draw.</p>";
  if (kind == Tracking::PluginKind::MotionPlatform) {
    const std::vector<SvgChart> input = sideCharts(returned, {"input", inputOf});
    const std::vector<SvgChart> output = sideCharts(returned, {"output", outputOf});
    for (std::size_t i = 0; i < input.size(); ++i) {
      html += "<div class=\"pair\">" + input[i].html() + output[i].html() + "</div>";
    }
    return html;
  }
  html += "<div class=\"charts\">";
  for (const SvgChart& chart : sideCharts(returned, {"", outputOf})) html += chart.html();
  return html + "</div>";
}

}  // namespace Orvel::Report
