// orvel_bench_inprocess: the in-process figures (receiver throughput,
// serialization, update latency, the HTML report of a long run), each
// measured by Google Benchmark beside its limit in the same run, then printed
// as one [figure] line each after
// Google Benchmark's table.
//
//   orvel_bench_inprocess [--brief] [Google Benchmark options]
//
// --brief runs every benchmark once, very briefly: it proves that the suite
// builds and runs, and its figures mean nothing. The exit status is 0 whether
// targets are met or not; 1 when a benchmark could not run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "EchoPeer.h"
#include "FigureCollector.h"
#include "HtmlReportBenchmarks.h"
#include "PairedFigure.h"
#include "LatencyBenchmarks.h"
#include "ReceiverBenchmarks.h"
#include "SerializationBenchmarks.h"
#include "common/Figure.h"
#include "logging/Logger.h"

int main(int argc, char** argv) {
  using namespace Orvel::Bench;
  if (argc == 2 && std::strncmp(argv[1], kEchoPeerOption, std::strlen(kEchoPeerOption)) == 0) {
    return runEchoPeer(argv[1] + std::strlen(kEchoPeerOption));
  }

  BenchOptions options;
  std::vector<char*> arguments;
  bool interleavingChosen = false;
  for (int i = 0; i < argc; ++i) {
    if (i > 0 && std::strcmp(argv[i], "--brief") == 0) {
      options.brief = true;
    } else {
      interleavingChosen = interleavingChosen || std::strstr(argv[i], "--benchmark_enable_random_interleaving") == argv[i];
      arguments.push_back(argv[i]);
    }
  }
  // The repetitions of all benchmarks run in random order, so that a program
  // path and its limit meet the same changes of load on this shared machine.
  std::string interleaving = "--benchmark_enable_random_interleaving=true";
  if (!interleavingChosen && !options.brief) arguments.push_back(interleaving.data());
  int argumentCount = static_cast<int>(arguments.size());
  benchmark::Initialize(&argumentCount, arguments.data());
  if (benchmark::ReportUnrecognizedArguments(argumentCount, arguments.data())) return 1;

  // The clients' log lines (connections, warnings) would break up the table:
  // they go to standard error, information lines not at all.
  Orvel::Logger::instance().setSink([](int level, const std::string& line) {
    if (level <= Orvel::LogLevels::Warning) std::fputs(line.c_str(), stderr);
  });

  std::vector<PairedFigure> figures;
  registerReceiverBenchmarks(options, figures);
  registerSerializationBenchmarks(options, figures);
  registerLatencyBenchmarks(options, figures);
  registerHtmlReportBenchmarks(options, figures);

  FigureCollector collector;
  benchmark::RunSpecifiedBenchmarks(&collector);
  benchmark::Shutdown();

  std::fflush(stdout);
  for (PairedFigure& paired : figures) {
    const auto measured = collector.value(paired.measuredBenchmark, paired.metric);
    const auto limit = collector.value(paired.limitBenchmark, paired.metric);
    if (!measured || !limit) continue;  // left out by a filter, or failed (reported below)
    paired.figure.measured = *measured;
    paired.figure.limit = *limit;
    printFigure(paired.figure);
  }
  for (const std::string& failure : collector.failures()) std::fprintf(stderr, "benchmark failed: %s\n", failure.c_str());
  return collector.failures().empty() ? 0 : 1;
}
