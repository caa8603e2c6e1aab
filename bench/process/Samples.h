// The values of one quantity over repeated runs: the median is the figure,
// the quartiles show the spread.
#pragma once
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "common/Figure.h"

namespace Orvel::Bench {

class Samples {
 public:
  void add(double value) { values_.push_back(value); }
  std::size_t count() const { return values_.size(); }

  // Linear interpolation between the two nearest ranks; q in [0, 1].
  double quantile(double q) const {
    if (values_.empty()) return 0;
    std::vector<double> sorted = values_;
    std::sort(sorted.begin(), sorted.end());
    const double position = q * static_cast<double>(sorted.size() - 1);
    const auto below = static_cast<std::size_t>(std::floor(position));
    const std::size_t above = std::min(below + 1, sorted.size() - 1);
    return sorted[below] + (sorted[above] - sorted[below]) * (position - static_cast<double>(below));
  }
  double median() const { return quantile(0.5); }

  // "median 12.3 (quartiles 11.9-13.0, n=40)"
  std::string summary() const {
    return "median " + formatValue(median()) + " (quartiles " + formatValue(quantile(0.25)) + "-" +
           formatValue(quantile(0.75)) + ", n=" + std::to_string(count()) + ")";
  }

 private:
  std::vector<double> values_;
};

}  // namespace Orvel::Bench
