// One line of a chart: its name in the legend and its values in order.
#pragma once
#include <string>
#include <vector>

#include "report/ChartPoint.h"

namespace Orvel::Report {

struct ChartSeries {
  std::string name;
  std::vector<ChartPoint> points;
};

}  // namespace Orvel::Report
