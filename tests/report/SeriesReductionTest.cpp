#include "report/SeriesReduction.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

using Orvel::Report::ChartPoint;
using Orvel::Report::finiteCount;
using Orvel::Report::reduceSeries;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A series whose n-th value is values[n], at x = n.
std::vector<ChartPoint> series(const std::vector<double>& values) {
  std::vector<ChartPoint> points;
  for (std::size_t i = 0; i < values.size(); ++i) points.push_back({static_cast<double>(i), values[i]});
  return points;
}

// The points as "x:y" texts ("x:gap" for a value that is not finite), to
// compare whole results.
std::vector<std::string> texts(const std::vector<ChartPoint>& points) {
  std::vector<std::string> result;
  for (const ChartPoint& p : points) {
    result.push_back(std::to_string(static_cast<int>(p.x)) + ":" +
                     (std::isfinite(p.y) ? std::to_string(static_cast<int>(p.y)) : "gap"));
  }
  return result;
}

struct ReductionCase {
  const char* name;
  std::vector<double> values;
  std::size_t most;
  std::vector<std::string> expected;
};

}  // namespace

TEST(SeriesReduction, BucketsKeepTheirExtremesInOrderAndTheirGaps) {
  const std::vector<ReductionCase> cases = {
      {"a short series stays as it is", {3, 1, 2}, 4, {"0:3", "1:1", "2:2"}},
      {"gaps do not count against the bound", {1, kNaN, 2, kNaN}, 2, {"0:1", "1:gap", "2:2", "3:gap"}},
      // Two buckets of four: [5 9 1 5] gives its minimum 1 (x 2) after its
      // maximum 9 (x 1); [5 5 5 5] one point.
      {"minimum and maximum in the order they came", {5, 9, 1, 5, 5, 5, 5, 5}, 4, {"1:9", "2:1", "4:5"}},
      {"a spike inside a bucket survives", {0, 0, 0, 100, 0, 0, 0, 0, 0, 0}, 2, {"0:0", "3:100"}},
      {"a negative spike too", {0, 0, 0, 0, 0, 0, -50, 0, 0, 0}, 2, {"0:0", "6:-50"}},
      {"a gap in a bucket keeps its place", {1, 2, kNaN, 4, 5, 6}, 4, {"0:1", "1:2", "2:gap", "3:4", "5:6"}},
      {"gaps before the extremes come first", {kNaN, kNaN, kNaN, 1, 2, 3}, 2, {"0:gap", "3:1", "5:3"}},
      {"a bound below two counts as two", {1, 2, 3, 4}, 0, {"0:1", "3:4"}},
  };
  for (const ReductionCase& c : cases) {
    EXPECT_EQ(texts(reduceSeries(series(c.values), c.most)), c.expected) << c.name;
  }
}

TEST(SeriesReduction, NoSeriesExceedsItsBound) {
  for (const std::size_t length : {2001u, 5000u, 100000u}) {
    std::vector<double> values;
    for (std::size_t i = 0; i < length; ++i) values.push_back(i % 7 == 3 ? kNaN : std::sin(static_cast<double>(i)));
    for (const std::size_t most : {2u, 3u, 500u, 2000u}) {
      const std::vector<ChartPoint> reduced = reduceSeries(series(values), most);
      EXPECT_LE(finiteCount(reduced), most) << length << " values to " << most;
      EXPECT_GE(finiteCount(reduced), most / 2) << length << " values to " << most;
      for (std::size_t i = 1; i < reduced.size(); ++i) EXPECT_LT(reduced[i - 1].x, reduced[i].x) << "in order";
    }
  }
}
