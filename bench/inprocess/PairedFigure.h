// One figure of this executable: which benchmark gives the program's value,
// which gives its limit, and how a run's value is read.
#pragma once
#include <string>
#include <utility>

#include "common/Figure.h"

namespace Orvel::Bench {

enum class Metric {
  ItemsPerSecond,           // throughput from SetItemsProcessed
  MicrosecondsPerIteration  // real (or manual) time of one iteration
};

// Whether a figure is a rate (more is better) or a time (less is better).
enum class Better { Higher, Lower };

struct PairedFigure {
  PairedFigure(std::string name, std::string unit, std::string limitName, Better better, double target,
               std::string measuredBenchmark, std::string limitBenchmark, Metric metric)
      : measuredBenchmark(std::move(measuredBenchmark)), limitBenchmark(std::move(limitBenchmark)), metric(metric) {
    figure.name = std::move(name);
    figure.unit = std::move(unit);
    figure.limitName = std::move(limitName);
    figure.higherIsBetter = better == Better::Higher;
    figure.target = target;
  }

  Figure figure;  // the values are filled in after the run
  std::string measuredBenchmark;
  std::string limitBenchmark;
  Metric metric;
};

// How the benchmarks are run.
struct BenchOptions {
  bool brief = false;  // every benchmark once and very briefly: proves the suite runs, measures nothing
  int repetitions = 5;  // the median of the repetitions makes each value
};

}  // namespace Orvel::Bench
