#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>

#include "tracking/PoseText.h"

namespace {

std::string text(const Pose& pose) {
  std::ostringstream stream;
  Orvel::Tracking::formatPose(stream, pose);
  return stream.str();
}

TEST(PoseText, ZeroPose) {
  EXPECT_EQ(text(Pose{}),
            "{ timeStamp:0, frameNo:0, position:[ 0, 0, 0 ], rotation:[ 0, 0, 0, 0 ], velocity:[ 0, 0, 0 ], "
            "angularVelocity:[ 0, 0, 0 ], acceleration:[ 0, 0, 0 ], poseFlags:0, confidence:0}");
}

TEST(PoseText, EveryFieldInOrderWithDefaultNumberForms) {
  Pose pose{};
  pose.timeStamp = -5;
  pose.frameNo = INT64_MAX;
  pose.position[0] = 1.5;
  pose.position[1] = 1234567.0;
  pose.position[2] = 0.0000001;
  pose.rotation[0] = 0.1;
  pose.rotation[1] = 0.2;
  pose.rotation[2] = 0.3;
  pose.rotation[3] = 0.4;
  pose.velocity[0] = -0.0;
  pose.velocity[1] = 123456.0;
  pose.velocity[2] = 1.0 / 3.0;
  pose.angularVelocity[0] = 1e100;
  pose.angularVelocity[1] = -2.5e-10;
  pose.angularVelocity[2] = 100.0;
  pose.acceleration[0] = 7;
  pose.acceleration[1] = 8;
  pose.acceleration[2] = 9;
  pose.poseFlags = UINT64_MAX;
  pose.confidence = 0.999999;
  EXPECT_EQ(text(pose),
            "{ timeStamp:-5, frameNo:9223372036854775807, position:[ 1.5, 1.23457e+06, 1e-07 ], "
            "rotation:[ 0.1, 0.2, 0.3, 0.4 ], velocity:[ -0, 123456, 0.333333 ], "
            "angularVelocity:[ 1e+100, -2.5e-10, 100 ], acceleration:[ 7, 8, 9 ], "
            "poseFlags:18446744073709551615, confidence:0.999999}");
}

TEST(PoseText, VectorForm) {
  std::ostringstream stream;
  Orvel::Tracking::formatVector3(stream, -1, 0.25, 1e-05) << "|";
  EXPECT_EQ(stream.str(), "[ -1, 0.25, 1e-05 ]|") << "no line end, the stream is returned";
}

}  // namespace
