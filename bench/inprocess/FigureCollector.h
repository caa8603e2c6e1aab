// Google Benchmark's console table, plus the value of every run kept by
// benchmark name, so that the figures can pair each program path with its
// limit once every benchmark has run.
#pragma once
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "PairedFigure.h"

namespace Orvel::Bench {

class FigureCollector : public benchmark::ConsoleReporter {
 public:
  FigureCollector() : benchmark::ConsoleReporter(OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& runs) override;

  // The median over the repetitions of a benchmark, read as metric; empty
  // when the benchmark did not run or reported an error.
  std::optional<double> value(const std::string& benchmark, Metric metric) const;
  // Names of the benchmarks that reported an error.
  const std::vector<std::string>& failures() const { return failures_; }

 private:
  struct Sample {
    double itemsPerSecond = 0;
    double microsecondsPerIteration = 0;
  };

  std::map<std::string, std::vector<Sample>> samples_;
  std::vector<std::string> failures_;
};

}  // namespace Orvel::Bench
