#include "run/LatencyFigures.h"

#include <algorithm>

namespace Orvel::Verifier {

namespace {

// The nearest-rank percentile (in thousandths) of sorted samples.
std::chrono::nanoseconds percentile(const std::vector<std::chrono::nanoseconds>& sorted, std::size_t permille) {
  const std::size_t rank = (permille * sorted.size() + 999) / 1000;
  return sorted[std::max<std::size_t>(rank, 1) - 1];
}

}  // namespace

LatencyFigures LatencyFigures::of(std::string function, std::vector<std::chrono::nanoseconds> samples,
                                  std::uint32_t budgetUs) {
  LatencyFigures figures;
  figures.function = std::move(function);
  figures.budgetUs = budgetUs;
  figures.calls = samples.size();
  if (samples.empty()) return figures;
  std::sort(samples.begin(), samples.end());
  figures.p50 = percentile(samples, 500);
  figures.p90 = percentile(samples, 900);
  figures.p99 = percentile(samples, 990);
  figures.p999 = percentile(samples, 999);
  figures.max = samples.back();
  figures.samples = std::move(samples);
  return figures;
}

std::int64_t LatencyFigures::wholeMicroseconds(std::chrono::nanoseconds duration) {
  return (duration.count() + 500) / 1000;
}

bool LatencyFigures::withinBudget() const { return wholeMicroseconds(p99) <= static_cast<std::int64_t>(budgetUs); }

std::string LatencyFigures::checkText() const {
  return function + " latency p99 " + std::to_string(wholeMicroseconds(p99)) + " us, max " +
         std::to_string(wholeMicroseconds(max)) + " us (budget " + std::to_string(budgetUs) + " us)";
}

}  // namespace Orvel::Verifier
