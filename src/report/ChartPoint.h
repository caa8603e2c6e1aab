// One value of a chart's series: where it lies on the two axes.
#pragma once

namespace Orvel::Report {

struct ChartPoint {
  double x = 0;
  double y = 0;  // a value that is not finite is a gap in the line
};

}  // namespace Orvel::Report
