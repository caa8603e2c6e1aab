// One figure of this executable: which benchmark gives the program's value,
// which gives its limit, and how a run's value is read.
#pragma once
#include <string>

#include "common/Figure.h"

namespace Orvel::Bench {

enum class Metric {
  ItemsPerSecond,           // throughput from SetItemsProcessed
  MicrosecondsPerIteration  // real (or manual) time of one iteration
};

struct FigureSpec {
  Figure figure;  // name, unit, limitName, direction and target; values filled in after the run
  std::string measuredBenchmark;
  std::string limitBenchmark;
  Metric metric = Metric::ItemsPerSecond;
};

// How the benchmarks are run.
struct BenchOptions {
  bool brief = false;  // every benchmark once and very briefly: proves the suite runs, measures nothing
  int repetitions = 5;  // the median of the repetitions makes each value
};

}  // namespace Orvel::Bench
