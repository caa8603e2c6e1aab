#include "report/SeriesReduction.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace Orvel::Report {

std::size_t finiteCount(const std::vector<ChartPoint>& points) {
  std::size_t count = 0;
  for (const ChartPoint& point : points) count += std::isfinite(point.y) ? 1 : 0;
  return count;
}

std::vector<ChartPoint> reduceSeries(const std::vector<ChartPoint>& points, std::size_t most) {
  if (most < 2) most = 2;
  if (finiteCount(points) <= most) return points;
  const std::size_t buckets = most / 2;
  std::vector<ChartPoint> reduced;
  reduced.reserve(buckets * 3);
  for (std::size_t bucket = 0; bucket < buckets; ++bucket) {
    // Bucket b holds the values [b * n / buckets, (b + 1) * n / buckets).
    const std::size_t first = bucket * points.size() / buckets;
    const std::size_t end = (bucket + 1) * points.size() / buckets;
    std::optional<std::size_t> low, high, gap;
    for (std::size_t i = first; i < end; ++i) {
      if (!std::isfinite(points[i].y)) {
        if (!gap) gap = i;
        continue;
      }
      if (!low || points[i].y < points[*low].y) low = i;
      if (!high || points[i].y > points[*high].y) high = i;
    }
    // The kept values in the order they came; one when the extremes are equal.
    std::vector<std::size_t> kept;
    if (low) kept.push_back(*low);
    if (high && points[*high].y != points[*low].y) kept.push_back(*high);
    if (gap) kept.push_back(*gap);
    std::sort(kept.begin(), kept.end());
    for (const std::size_t i : kept) reduced.push_back(points[i]);
  }
  return reduced;
}

}  // namespace Orvel::Report
