#include "HtmlReportBenchmarks.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <string>

#include "report/HtmlReport.h"
#include "report/JsonReport.h"
#include "run/RunRecord.h"

namespace Orvel::Bench {

namespace {

using Verifier::Check;
using Verifier::CheckResult;
using Verifier::RunRecord;

constexpr int kWorkflowRuns = 1000;
constexpr int kPosesPerRun = 5;
const char* const kWorkflow[] = {"call orvel_PluginInit",  "call orvel_TrackerStart", "call orvel_GetHMDPose",
                                 "call orvel_GetHMDPose",  "call orvel_GetHMDPose",   "call orvel_GetHMDPose",
                                 "call orvel_GetHMDPose",  "call orvel_TrackerStop",  "call orvel_PluginShutdown"};

// A record shaped as the sample tracker's run with --repeat=1000 --strict=1.
RunRecord longRun() {
  RunRecord record;
  record.pluginPath = "/opt/orvel/samples/SampleTracker.so";
  record.pluginInfo = Verifier::PluginInfo{1, "4.16.0.0", std::string("Orvel Sample Tracker"), {}};
  const auto check = [&](std::string text) {
    record.checks.push_back(Check{std::move(text), CheckResult::Passed, "", std::chrono::microseconds(30)});
  };
  check("Loading DLL " + record.pluginPath);
  for (int i = 0; i < 9; ++i) check("Find API function: orvel_Export" + std::to_string(i));
  std::uint32_t call = 0;
  for (int run = 1; run <= kWorkflowRuns; ++run) {
    record.hostCalls.push_back({"\t WriteLogMessage: Sample tracker ready", record.checks.size()});
    for (const char* text : kWorkflow) check(text);
    for (int pose = 0; pose < kPosesPerRun; ++pose) {
      Verifier::PoseRecord made;
      made.call = ++call;
      made.workflowRun = static_cast<std::uint32_t>(run);
      const double t = call * 0.1;
      made.output = Pose{static_cast<std::int64_t>(call) * 100, call, {std::sin(t) * 0.02, 1.2, 0}, {std::cos(t / 2), 0, 0, std::sin(t / 2)},
                         {}, {}, {}, 3, 1.0};
      record.poses.push_back(made);
    }
  }
  for (int i = 0; i < 7; ++i) check("strict check " + std::to_string(i));
  std::vector<std::chrono::nanoseconds> samples;
  for (int i = 0; i < 1000; ++i) samples.emplace_back(std::chrono::nanoseconds(800 + (i * 7919) % 5000));
  record.latency = Verifier::LatencyFigures::of("orvel_GetHMDPose", samples, 1000);
  record.passed = record.total = static_cast<std::int32_t>(record.checks.size());
  return record;
}

template <std::string (*Write)(const RunRecord&, const Report::ReportContext&)>
void writeReport(benchmark::State& state) {
  const RunRecord record = longRun();
  Report::ReportContext context;
  context.mode = "verify";
  context.options = "--strict=1 --repeat=1000 --html=report.html";
  std::size_t bytes = 0;
  for (auto _ : state) {
    const std::string text = Write(record, context);
    bytes = text.size();
    benchmark::DoNotOptimize(text.data());
  }
  state.counters["bytes"] = static_cast<double>(bytes);
}

std::string html(const RunRecord& record, const Report::ReportContext& context) {
  return Report::htmlReport(record, context);
}

std::string json(const RunRecord& record, const Report::ReportContext& context) {
  return Report::jsonReport(record, context);
}

}  // namespace

void registerHtmlReportBenchmarks(const BenchOptions& options, std::vector<PairedFigure>& figures) {
  const std::string measured = "report/html, --repeat=1000 --strict=1";
  const std::string limit = "report/json, --repeat=1000 --strict=1";
  for (const auto& [name, function] : {std::make_pair(measured, &writeReport<html>), std::make_pair(limit, &writeReport<json>)}) {
    auto* benchmark = benchmark::RegisterBenchmark(name.c_str(), function)->Unit(benchmark::kMillisecond);
    if (options.brief) {
      benchmark->Iterations(1);
    } else {
      benchmark->Repetitions(options.repetitions);
    }
  }
  figures.emplace_back("HTML report of a --repeat=1000 --strict=1 run", "us", "the JSON report of the same record",
                       Better::Lower, 2.0, measured, limit, Metric::MicrosecondsPerIteration);
}

}  // namespace Orvel::Bench
