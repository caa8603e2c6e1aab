#include "run/StrictChecks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

using Orvel::Tracking::PluginKind;
using Orvel::Verifier::Check;
using Orvel::Verifier::poseDataChecks;
using Orvel::Verifier::PoseRecord;

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInfinity = std::numeric_limits<double>::infinity();

const char* const kTrackingChecks[] = {
    "pose values are finite",
    "pose rotations have unit length",
    "pose time stamps do not decrease",
    "pose frame numbers do not decrease",
    "pose confidence is between 0 and 1",
};

// A pose that passes every data check: unit rotation, increasing stamps.
Pose goodPose(std::int64_t frame) {
  Pose pose{};
  pose.timeStamp = 100 * frame;
  pose.frameNo = frame;
  pose.position[1] = 1.2;
  pose.rotation[0] = std::cos(0.1);
  pose.rotation[3] = std::sin(0.1);
  pose.confidence = 1.0;
  return pose;
}

// Five good poses of one workflow, numbered 1 to 5; `plant` changes pose n.
std::vector<PoseRecord> poses(int planted = 0, const std::function<void(Pose&)>& plant = {}) {
  std::vector<PoseRecord> records;
  for (std::uint32_t call = 1; call <= 5; ++call) {
    PoseRecord record;
    record.call = call;
    record.output = goodPose(call);
    if (static_cast<int>(call) == planted) plant(record.output);
    records.push_back(record);
  }
  return records;
}

// "" for a passed check, else its cause.
std::vector<std::string> causes(const std::vector<Check>& checks) {
  std::vector<std::string> result;
  for (const Check& check : checks) {
    EXPECT_EQ(check.passed(), check.cause.empty()) << check.text;
    result.push_back(check.cause);
  }
  return result;
}

}  // namespace

TEST(PoseDataChecks, TrackingChecksInOrderAndTheFirstOffenceNamed) {
  struct Case {
    const char* name;
    std::vector<PoseRecord> poses;
    std::vector<std::string> causes;  // per check, in order
  };
  const Case cases[] = {
      {"good", poses(), {"", "", "", "", ""}},
      {"no poses", {}, {"", "", "", "", ""}},
      {"NaN in the position",
       poses(3, [](Pose& p) { p.position[1] = kNaN; }),
       {"pose 3: position[1] is NaN", "", "", "", ""}},
      {"first member of the first pose wins",
       poses(2, [](Pose& p) { p.acceleration[2] = -kInfinity; p.velocity[0] = kInfinity; }),
       {"pose 2: velocity[0] is Infinity", "", "", "", ""}},
      {"negative infinity in the angular velocity",
       poses(5, [](Pose& p) { p.angularVelocity[1] = -kInfinity; }),
       {"pose 5: angularVelocity[1] is -Infinity", "", "", "", ""}},
      {"NaN confidence: not finite, not in range, rotation not judged",
       poses(4, [](Pose& p) { p.confidence = kNaN; p.rotation[0] = 0; }),
       {"pose 4: confidence is NaN", "", "", "", "pose 4: confidence is NaN"}},
      {"half-length rotation",
       poses(2, [](Pose& p) { p.rotation[0] = 0.5; p.rotation[3] = 0; }),
       {"", "pose 2: rotation has length 0.5", "", "", ""}},
      {"zero rotation with zero confidence is not judged",
       poses(2, [](Pose& p) { p.rotation[0] = 0; p.rotation[3] = 0; p.confidence = 0; }),
       {"", "", "", "", ""}},
      {"rotation within 1e-3 of unit length",
       poses(1, [](Pose& p) { p.rotation[0] = 1.0009; p.rotation[3] = 0; }),
       {"", "", "", "", ""}},
      {"rotation just outside 1e-3",
       poses(1, [](Pose& p) { p.rotation[0] = 1.0011; p.rotation[3] = 0; }),
       {"", "pose 1: rotation has length 1.0011", "", "", ""}},
      {"NaN rotation with confidence",
       poses(3, [](Pose& p) { p.rotation[2] = kNaN; }),
       {"pose 3: rotation[2] is NaN", "pose 3: rotation has length NaN", "", "", ""}},
      {"rotation so long that its squares overflow",
       poses(2, [](Pose& p) { p.rotation[0] = 1.4e200; p.rotation[3] = 1.4e200; }),
       {"", "pose 2: rotation has length 1.9799e+200", "", "", ""}},
      {"rotation so short that its squares vanish",
       poses(2, [](Pose& p) { p.rotation[0] = 0; p.rotation[3] = 0; p.rotation[1] = -1e-200; }),
       {"", "pose 2: rotation has length 1e-200", "", "", ""}},
      {"infinite rotation member",
       poses(4, [](Pose& p) { p.rotation[1] = -kInfinity; }),
       {"pose 4: rotation[1] is -Infinity", "pose 4: rotation has length Infinity", "", "", ""}},
      {"time stamp runs backwards",
       poses(4, [](Pose& p) { p.timeStamp = 50; }),
       {"", "", "pose 4: timeStamp 50 is less than 300 of pose 3", "", ""}},
      {"equal time stamps and frames do not decrease",
       poses(2, [](Pose& p) { p.timeStamp = 100; p.frameNo = 1; }),
       {"", "", "", "", ""}},
      {"frame number runs backwards",
       poses(5, [](Pose& p) { p.frameNo = -7; }),
       {"", "", "", "pose 5: frameNo -7 is less than 4 of pose 4", ""}},
      {"confidence above one",
       poses(2, [](Pose& p) { p.confidence = 1.5; }),
       {"", "", "", "", "pose 2: confidence is 1.5"}},
      {"negative confidence",
       poses(1, [](Pose& p) { p.confidence = -0.25; }),
       {"", "", "", "", "pose 1: confidence is -0.25"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<Check> checks = poseDataChecks(PluginKind::Tracking, c.poses);
    ASSERT_EQ(checks.size(), 5u);
    for (std::size_t i = 0; i < checks.size(); ++i) EXPECT_EQ(checks[i].text, kTrackingChecks[i]);
    EXPECT_EQ(causes(checks), c.causes);
  }
}

TEST(PoseDataChecks, OnlyPosesOfCallsThatReturnedZeroAreJudged) {
  std::vector<PoseRecord> records = poses(2, [](Pose& p) { p.position[0] = kNaN; p.timeStamp = -1; });
  records[1].status = 1;
  EXPECT_EQ(causes(poseDataChecks(PluginKind::Tracking, records)), std::vector<std::string>(5, ""));
}

TEST(PoseDataChecks, StampsAndFramesAreComparedWithinEachWorkflow) {
  // A second workflow starts counting again: no decrease. Within it, one is.
  std::vector<PoseRecord> records = poses();
  std::vector<PoseRecord> second = poses(3, [](Pose& p) { p.frameNo = 0; });
  for (PoseRecord& record : second) {
    record.workflowRun = 2;
    record.call += 5;
    records.push_back(record);
  }
  EXPECT_EQ(causes(poseDataChecks(PluginKind::Tracking, records)),
            (std::vector<std::string>{"", "", "", "pose 8: frameNo 0 is less than 2 of pose 7", ""}));
}

TEST(PoseDataChecks, MotionPlatformOutputsAreCheckedForFiniteValuesOnly) {
  std::vector<PoseRecord> records = poses(3, [](Pose& p) {
    p.position[2] = kInfinity;
    p.confidence = 7;  // out of range, but not judged for a motion platform
  });
  for (PoseRecord& record : records) {
    record.input = Pose{};
    record.input->position[0] = kNaN;  // inputs are not judged
  }
  const std::vector<Check> checks = poseDataChecks(PluginKind::MotionPlatform, records);
  ASSERT_EQ(checks.size(), 1u);
  EXPECT_EQ(checks[0].text, "pose values are finite");
  EXPECT_EQ(checks[0].cause, "pose 3: position[2] is Infinity");
  EXPECT_FALSE(checks[0].passed());
}
