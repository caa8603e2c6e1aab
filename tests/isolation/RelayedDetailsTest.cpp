#include "isolation/RelayedDetails.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "isolation/ChildProtocol.h"

using namespace Orvel::Verifier;
using Orvel::Tracking::PluginKind;

namespace {

// What follows "data " on the channel line.
std::string payload(const std::string& line) {
  std::string rest;
  EXPECT_TRUE(ChildProtocol::startsWith(line, ChildProtocol::kData, rest)) << line;
  EXPECT_EQ(line.find('\n'), std::string::npos) << "one line";
  return rest;
}

bool sameBytes(const Pose& a, const Pose& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

TEST(RelayedDetails, EveryDetailArrivesInTheParentsViewAsItWas) {
  VerificationRun view(PluginKind::MotionPlatform, "plugin", 7);
  const std::string oddText = std::string("Caf\xE9 \x01\n\t\0end", 13);

  view.recordRelayed({"pose values are finite", CheckResult::Failed, "", {}});
  ASSERT_TRUE(ChildProtocol::applyDetail(
      view, payload(ChildProtocol::checkDetailLine(
                {"x", CheckResult::Failed, "pose 2: position[1] is NaN", std::chrono::nanoseconds(1234567)}))));
  view.recordRelayed({"call orvel_PluginInit", CheckResult::Failed, "", {}});
  Check call{"x", CheckResult::Failed};
  call.status = std::numeric_limits<std::int64_t>::min();
  call.statusDescription = oddText;
  ASSERT_TRUE(ChildProtocol::applyDetail(view, payload(ChildProtocol::checkDetailLine(call))));
  ASSERT_TRUE(ChildProtocol::applyDetail(view, payload(ChildProtocol::stoppedLine(1))));
  ASSERT_TRUE(ChildProtocol::applyDetail(view, payload(ChildProtocol::summaryLine(2))));

  ASSERT_TRUE(ChildProtocol::applyDetail(view, payload(ChildProtocol::hostCallLine({"\t WriteLogMessage: " + oddText, 3}))));

  PluginInfo info;
  info.type = -7;
  info.apiVersion = "4.17.0.0";
  info.name = oddText;
  info.statusDescriptions[0] = "minus two";
  ASSERT_TRUE(ChildProtocol::applyDetail(view, payload(ChildProtocol::pluginInfoLine(info))));

  PoseRecord pose;
  pose.call = 1;
  pose.workflowRun = 2;
  pose.status = -3;
  pose.output.position[0] = std::numeric_limits<double>::quiet_NaN();
  pose.output.position[1] = -0.0;
  pose.output.velocity[2] = -std::numeric_limits<double>::infinity();
  pose.output.poseFlags = 0xFFFFFFFFFFFFFFFFu;
  pose.output.timeStamp = std::numeric_limits<std::int64_t>::min();
  pose.input = Pose{};
  pose.input->frameNo = 101;
  ASSERT_TRUE(ChildProtocol::applyDetail(view, payload(ChildProtocol::poseLine(pose))));

  LatencyFigures latency = LatencyFigures::of("orvel_UpdatePose", {std::chrono::nanoseconds(1500), std::chrono::nanoseconds(9)}, 77);
  ASSERT_TRUE(ChildProtocol::applyDetail(view, payload(ChildProtocol::latencyLine(latency))));

  const RunRecord record = view.snapshot();
  ASSERT_EQ(record.checks.size(), 2u);
  EXPECT_EQ(record.checks[0].cause, "pose 2: position[1] is NaN");
  EXPECT_EQ(record.checks[0].duration, std::chrono::nanoseconds(1234567));
  EXPECT_FALSE(record.checks[0].status.has_value());
  EXPECT_FALSE(record.checks[0].statusDescription.has_value());
  EXPECT_EQ(record.checks[1].status, std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(record.checks[1].statusDescription, oddText);
  EXPECT_EQ(record.stoppedAt, 1u);
  EXPECT_TRUE(record.summaryReached);
  EXPECT_EQ(record.total, 2);
  ASSERT_EQ(record.hostCalls.size(), 1u);
  EXPECT_EQ(record.hostCalls[0].line, "\t WriteLogMessage: " + oddText);
  EXPECT_EQ(record.hostCalls[0].check, 3u);
  ASSERT_TRUE(record.pluginInfo.has_value());
  EXPECT_EQ(record.pluginInfo->type, -7);
  EXPECT_EQ(record.pluginInfo->apiVersion, "4.17.0.0");
  EXPECT_EQ(record.pluginInfo->name, oddText);
  EXPECT_EQ(record.pluginInfo->statusDescriptions[0], "minus two");
  EXPECT_FALSE(record.pluginInfo->statusDescriptions[1].has_value());
  ASSERT_EQ(record.poses.size(), 1u);
  EXPECT_EQ(record.poses[0].call, 1u);
  EXPECT_EQ(record.poses[0].workflowRun, 2u);
  EXPECT_EQ(record.poses[0].status, -3);
  EXPECT_TRUE(sameBytes(record.poses[0].output, pose.output));
  ASSERT_TRUE(record.poses[0].input.has_value());
  EXPECT_TRUE(sameBytes(*record.poses[0].input, *pose.input));
  ASSERT_TRUE(record.latency.has_value());
  EXPECT_EQ(record.latency->function, "orvel_UpdatePose");
  EXPECT_EQ(record.latency->calls, 2u);
  EXPECT_EQ(record.latency->max, std::chrono::nanoseconds(1500));
  EXPECT_EQ(record.latency->p50, std::chrono::nanoseconds(9));
  EXPECT_EQ(record.latency->budgetUs, 77u);
}

TEST(RelayedDetails, LinesThatAreNoDetailChangeNothing) {
  VerificationRun view(PluginKind::Tracking, "plugin", 9);
  const char* const payloads[] = {
      "",
      "not json",
      "{}",
      R"({"unknown": 1})",
      R"({"hostCall": {"line": "zz", "check": 0}})",
      R"({"hostCall": {"line": "abc", "check": 0}})",
      R"({"hostCall": {"line": "61"}})",
      R"({"pose": {"call": 1, "workflowRun": 1, "status": 0, "input": null, "output": "00"}})",
      R"({"pluginInfo": {"type": "one"}})",
  };
  for (const char* text : payloads) EXPECT_FALSE(ChildProtocol::applyDetail(view, text)) << text;
  const RunRecord record = view.snapshot();
  EXPECT_TRUE(record.hostCalls.empty());
  EXPECT_TRUE(record.poses.empty());
  EXPECT_FALSE(record.pluginInfo.has_value());
}
