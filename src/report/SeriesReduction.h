// Long series cut down for drawing, so that spikes stay visible.
#pragma once
#include <cstddef>
#include <vector>

#include "report/ChartPoint.h"

namespace Orvel::Report {

// The series itself when it holds at most `most` finite values; else its
// values in most / 2 buckets of consecutive values, each given by its
// smallest and its largest finite value (one point when they are equal) and
// its first value that is not finite, if any, so that a gap stays a gap,
// all in the order they came. The result holds at most `most` finite
// values; `most` below 2 counts as 2.
std::vector<ChartPoint> reduceSeries(const std::vector<ChartPoint>& points, std::size_t most);

// The number of finite values of a series: the points a line through it has.
std::size_t finiteCount(const std::vector<ChartPoint>& points);

}  // namespace Orvel::Report
