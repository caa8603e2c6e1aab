#include "report/JsonReport.h"

#include <gtest/gtest.h>

#include <limits>
#include <nlohmann/json.hpp>

using Orvel::Report::jsonReport;
using Orvel::Report::ReportContext;
using Orvel::Verifier::Check;
using Orvel::Verifier::CheckResult;
using Orvel::Verifier::RunRecord;
using nlohmann::json;

namespace {

json parse(const RunRecord& record, const ReportContext& context = {"verify", false, 0}) {
  return json::parse(jsonReport(record, context));
}

}  // namespace

TEST(JsonReport, ResultsAndDetailsOfEveryKindOfCheck) {
  RunRecord record;
  const struct {
    CheckResult result;
    const char* cause;
    const char* name;
  } kinds[] = {{CheckResult::Passed, "", "passed"},
               {CheckResult::Failed, "", "failed"},
               {CheckResult::Failed, "pose 3: position[1] is NaN", "failed"},
               {CheckResult::Crashed, "the plugin crashed: signal 11 (SIGSEGV)", "crashed"},
               {CheckResult::TimedOut, "no return within 5 ms", "timed-out"},
               {CheckResult::EndedProcess, "the plugin ended the process (exit status 0)", "ended-process"}};
  for (const auto& kind : kinds) {
    record.checks.push_back({"call orvel_GetHMDPose", kind.result, kind.cause, std::chrono::microseconds(1250)});
  }
  const json checks = parse(record)["checks"];
  ASSERT_EQ(checks.size(), std::size(kinds));
  for (std::size_t i = 0; i < checks.size(); ++i) {
    EXPECT_EQ(checks[i]["result"], kinds[i].name);
    EXPECT_EQ(checks[i].contains("detail"), kinds[i].cause[0] != '\0');
    if (checks[i].contains("detail")) {
      EXPECT_EQ(checks[i]["detail"], kinds[i].cause);
    }
    EXPECT_DOUBLE_EQ(checks[i]["durationMs"].get<double>(), 1.25);
  }
}

TEST(JsonReport, DoublesThatAreNotFiniteAreNamed) {
  RunRecord record;
  Orvel::Verifier::PoseRecord pose;
  pose.call = 1;
  pose.output.position[0] = std::numeric_limits<double>::quiet_NaN();
  pose.output.position[1] = std::numeric_limits<double>::infinity();
  pose.output.position[2] = -std::numeric_limits<double>::infinity();
  pose.output.confidence = -0.0;
  pose.output.poseFlags = 0xFFFFFFFFFFFFFFFFu;
  pose.output.timeStamp = std::numeric_limits<std::int64_t>::min();
  record.poses.push_back(pose);
  const json output = parse(record)["poses"][0]["output"];
  EXPECT_EQ(output["position"], json::parse(R"(["NaN", "Infinity", "-Infinity"])"));
  EXPECT_EQ(output["poseFlags"].get<std::uint64_t>(), 0xFFFFFFFFFFFFFFFFu);
  EXPECT_EQ(output["timeStamp"].get<std::int64_t>(), std::numeric_limits<std::int64_t>::min());
  EXPECT_TRUE(std::signbit(output["confidence"].get<double>()));
  EXPECT_TRUE(parse(record)["poses"][0]["input"].is_null());
}

TEST(JsonReport, NullTextsAndAHostCallAfterTheLastCheck) {
  RunRecord record;
  record.checks.push_back({"call orvel_PluginShutdown", CheckResult::Passed, "", {}});
  record.hostCalls.push_back({"\t WriteLogMessage: before", 0});
  record.hostCalls.push_back({"\t WriteLogMessage: after", 1});
  Orvel::Verifier::PluginInfo info;
  info.type = 3;
  info.apiVersion = "4.17.0.0";
  info.statusDescriptions[2] = "Success";
  record.pluginInfo = info;
  const json report = parse(record, {"set", true, -1});
  EXPECT_EQ(report["hostCalls"][0]["check"], 0);
  EXPECT_TRUE(report["hostCalls"][1]["check"].is_null());
  EXPECT_TRUE(report["pluginInfo"]["name"].is_null());
  EXPECT_EQ(report["pluginInfo"]["statusDescriptions"],
            json::parse(R"({"-2": null, "-1": null, "0": "Success", "1": null, "2": null})"));
  EXPECT_EQ(report["mode"], "set");
  EXPECT_EQ(report["isolated"], true);
  EXPECT_EQ(report["exitStatus"], -1);
}

TEST(JsonReport, MembersInTheOrderOfTheDescription) {
  RunRecord record;
  Orvel::Verifier::LatencyFigures latency;
  latency.function = "orvel_GetHMDPose";
  latency.p99 = std::chrono::nanoseconds(1500);
  record.latency = latency;
  // A parsed object sorts its keys; the order is read from the text.
  const std::string text = jsonReport(record, {"verify", false, 0});
  std::size_t last = 0;
  for (const char* key : {"\"tool\"", "\"mode\"", "\"plugin\"", "\"isolated\"", "\"pluginInfo\"", "\"checks\"",
                          "\"hostCalls\"", "\"poses\"", "\"latency\"", "\"passed\"", "\"total\"", "\"exitStatus\""}) {
    const std::size_t at = text.find(key);
    ASSERT_NE(at, std::string::npos) << key;
    EXPECT_GT(at, last) << key;
    last = at;
  }
  EXPECT_DOUBLE_EQ(json::parse(text)["latency"]["p99Us"].get<double>(), 1.5);
}
