#include "run/StrictChecks.h"

#include <cmath>
#include <cstdio>
#include <iterator>
#include <map>
#include <string>

#include "platform/ProcessThreads.h"
#include "tracking/ReportOutput.h"

namespace Orvel::Verifier {

namespace {

constexpr double kUnitLengthTolerance = 1e-3;
constexpr std::chrono::milliseconds kThreadGrace(1000);
constexpr std::chrono::milliseconds kThreadPollInterval(10);

// A double as the causes write it: "%g", or the names JSON reports use for
// the values that are not finite.
std::string number(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "Infinity" : "-Infinity";
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

std::string poseName(const PoseRecord& pose) { return "pose " + std::to_string(pose.call); }

// Calls visit(name, value) for every double of the pose in record order,
// until it returns false.
template <typename Visit>
void forEachDouble(const Pose& pose, Visit&& visit) {
  const struct {
    const char* name;
    const double* values;
    int count;
  } members[] = {{"position", pose.position, 3},          {"rotation", pose.rotation, 4},
                 {"velocity", pose.velocity, 3},          {"angularVelocity", pose.angularVelocity, 3},
                 {"acceleration", pose.acceleration, 3},  {"confidence", &pose.confidence, 1}};
  for (const auto& member : members) {
    for (int i = 0; i < member.count; ++i) {
      const std::string name =
          member.count == 1 ? member.name : std::string(member.name) + "[" + std::to_string(i) + "]";
      if (!visit(name, member.values[i])) return;
    }
  }
}

// The cause of the first pose that `offence` finds fault with, or "".
template <typename Offence>
std::string firstOffence(const std::vector<const PoseRecord*>& poses, Offence&& offence) {
  for (const PoseRecord* pose : poses) {
    std::string cause = offence(*pose);
    if (!cause.empty()) return poseName(*pose) + ": " + cause;
  }
  return "";
}

std::string nonFiniteValue(const PoseRecord& pose) {
  std::string cause;
  forEachDouble(pose.output, [&](const std::string& name, double value) {
    if (std::isfinite(value)) return true;
    cause = name + " is " + number(value);
    return false;
  });
  return cause;
}

// The length of the quaternion. Scaled by its largest member, so that
// neither the squares of large members overflow nor those of small ones
// vanish; a member that is not finite gives Infinity or NaN as it is.
double rotationLength(const double (&rotation)[4]) {
  double largest = 0;
  for (const double value : rotation) largest = std::fmax(largest, std::fabs(value));
  const bool scaled = std::isfinite(largest) && largest > 0;
  double squares = 0;
  for (const double value : rotation) {
    const double part = scaled ? value / largest : value;
    squares += part * part;
  }
  return scaled ? largest * std::sqrt(squares) : std::sqrt(squares);
}

std::string nonUnitRotation(const PoseRecord& pose) {
  if (!(pose.output.confidence > 0)) return "";
  const double length = rotationLength(pose.output.rotation);
  if (std::fabs(length - 1.0) <= kUnitLengthTolerance) return "";
  return "rotation has length " + number(length);
}

std::string confidenceOutOfRange(const PoseRecord& pose) {
  const double confidence = pose.output.confidence;
  if (confidence >= 0 && confidence <= 1) return "";
  return "confidence is " + number(confidence);
}

// The first pose whose member is less than that of the pose before it in
// the same workflow.
std::string firstDecrease(const std::vector<const PoseRecord*>& poses, const char* member,
                          std::int64_t (*valueOf)(const Pose&)) {
  std::map<std::uint32_t, const PoseRecord*> previous;  // by workflow
  for (const PoseRecord* pose : poses) {
    const PoseRecord*& before = previous[pose->workflowRun];
    if (before != nullptr && valueOf(pose->output) < valueOf(before->output)) {
      return poseName(*pose) + ": " + member + " " + std::to_string(valueOf(pose->output)) + " is less than " +
             std::to_string(valueOf(before->output)) + " of " + poseName(*before);
    }
    before = pose;
  }
  return "";
}

Check dataCheck(const char* text, std::string cause) {
  return {text, cause.empty() ? CheckResult::Passed : CheckResult::Failed, std::move(cause),
          std::chrono::nanoseconds(0)};
}

}  // namespace

namespace {

// The pose data checks, in report order; a motion platform plugin has the first only.
constexpr const char* kPoseDataTexts[] = {"pose values are finite", "pose rotations have unit length",
                                          "pose time stamps do not decrease", "pose frame numbers do not decrease",
                                          "pose confidence is between 0 and 1"};
constexpr const char* kThreadText = "no threads left running after shutdown";

std::size_t poseDataCheckCount(Tracking::PluginKind kind) {
  return kind == Tracking::PluginKind::Tracking ? std::size(kPoseDataTexts) : 1;
}

}  // namespace

std::int32_t strictCheckCount(Tracking::PluginKind kind) {
  return static_cast<std::int32_t>(strictCheckTexts(kind, 0).size());
}

std::vector<std::string> strictCheckTexts(Tracking::PluginKind kind, std::uint32_t latencyBudgetUs) {
  std::vector<std::string> texts(kPoseDataTexts, kPoseDataTexts + poseDataCheckCount(kind));
  const bool tracking = kind == Tracking::PluginKind::Tracking;
  texts.push_back(std::string(Tracking::exportName(tracking ? Tracking::PluginExport::GetHMDPose
                                                            : Tracking::PluginExport::UpdatePose)) +
                  " latency (budget " + std::to_string(latencyBudgetUs) + " us)");
  texts.emplace_back(kThreadText);
  return texts;
}

std::vector<Check> poseDataChecks(Tracking::PluginKind kind, const std::vector<PoseRecord>& poses) {
  std::vector<const PoseRecord*> returned;
  for (const PoseRecord& pose : poses) {
    if (pose.status == 0) returned.push_back(&pose);
  }
  // Each offence in the order of kPoseDataTexts.
  const std::string offences[] = {
      firstOffence(returned, nonFiniteValue),
      firstOffence(returned, nonUnitRotation),
      firstDecrease(returned, "timeStamp", [](const Pose& p) { return p.timeStamp; }),
      firstDecrease(returned, "frameNo", [](const Pose& p) { return p.frameNo; }),
      firstOffence(returned, confidenceOutOfRange),
  };
  std::vector<Check> checks;
  for (std::size_t i = 0; i < poseDataCheckCount(kind); ++i) checks.push_back(dataCheck(kPoseDataTexts[i], offences[i]));
  return checks;
}

Check threadCheck(std::optional<std::size_t> before, std::chrono::milliseconds grace) {
  const auto began = std::chrono::steady_clock::now();
  std::optional<std::size_t> after = platform::processThreadCount();
  while (before && after && *after > *before && std::chrono::steady_clock::now() - began < grace) {
    std::this_thread::sleep_for(kThreadPollInterval);
    after = platform::processThreadCount();
  }
  std::string cause;
  if (!before || !after) {
    cause = "the number of threads of the process is not known";
  } else if (*after > *before) {
    const std::size_t left = *after - *before;
    cause = std::to_string(left) + (left == 1 ? " thread" : " threads") + " left running";
  }
  Check check = dataCheck(kThreadText, std::move(cause));
  check.duration = std::chrono::steady_clock::now() - began;
  return check;
}

void StrictChecks::countThreadsBeforeInit() {
  if (active_) threadsBefore_ = platform::processThreadCount();
}

void StrictChecks::check() {
  if (!active_) return;
  Tracking::printReport("\n Check pose data:\n");
  for (Check& check : poseDataChecks(run_.kind(), run_.poses())) run_.addCheck(std::move(check));
  const LatencyFigures latency = run_.latency().value_or(LatencyFigures{});
  Check latencyCheck{latency.checkText(), latency.withinBudget() ? CheckResult::Passed : CheckResult::Failed, "",
                     latencyDuration_};
  run_.addCheck(std::move(latencyCheck));
  run_.addCheck(threadCheck(threadsBefore_, kThreadGrace));
}

}  // namespace Orvel::Verifier
