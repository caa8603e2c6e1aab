#include "FigureCollector.h"

#include <algorithm>

namespace Orvel::Bench {

void FigureCollector::ReportRuns(const std::vector<Run>& runs) {
  benchmark::ConsoleReporter::ReportRuns(runs);
  for (const Run& run : runs) {
    if (run.run_type != Run::RT_Iteration) continue;  // medians are taken here, from the repetitions
    const std::string name = run.run_name.function_name;
    if (run.error_occurred) {
      failures_.push_back(name + ": " + run.error_message);
      continue;
    }
    Sample sample;
    const auto items = run.counters.find("items_per_second");
    if (items != run.counters.end()) sample.itemsPerSecond = items->second.value;
    if (run.iterations > 0) {
      sample.microsecondsPerIteration = run.real_accumulated_time * 1e6 / static_cast<double>(run.iterations);
    }
    samples_[name].push_back(sample);
  }
}

std::optional<double> FigureCollector::value(const std::string& benchmark, Metric metric) const {
  const auto found = samples_.find(benchmark);
  if (found == samples_.end() || found->second.empty()) return std::nullopt;
  std::vector<double> values;
  for (const Sample& sample : found->second) {
    values.push_back(metric == Metric::ItemsPerSecond ? sample.itemsPerSecond : sample.microsecondsPerIteration);
  }
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

}  // namespace Orvel::Bench
