#include "report/SvgChart.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <cstdlib>
#include <string>

using Orvel::Report::ChartSeries;
using Orvel::Report::SvgChart;

namespace {

// The points the chart says it draws, and the points its lines go through
// (the "x,y" pairs of its line paths), which must agree.
std::pair<int, int> drawnPoints(const std::string& html) {
  const std::string said = "data-points=\"";
  const std::size_t at = html.find(said);
  EXPECT_NE(at, std::string::npos);
  int pairs = 0;
  const std::string line = "<path class=\"line ";
  for (std::size_t path = html.find(line); path != std::string::npos; path = html.find(line, path + 1)) {
    const std::size_t d = html.find(" d=\"", path) + 4;
    const std::size_t end = html.find('"', d);
    for (std::size_t i = d; i < end; ++i) pairs += html[i] == ',' ? 1 : 0;
  }
  return {std::atoi(html.c_str() + at + said.size()), pairs};
}

// `series` series of `length` values each, one after the other in time.
SvgChart chartOf(std::size_t series, std::size_t length) {
  SvgChart chart("t", "x", "y");
  for (std::size_t s = 0; s < series; ++s) {
    ChartSeries one{"run " + std::to_string(s), {}};
    for (std::size_t i = 0; i < length; ++i) {
      const double x = static_cast<double>(s * length + i);
      one.points.push_back({x, i % 97 == 5 ? std::numeric_limits<double>::quiet_NaN() : std::sin(x)});
    }
    chart.addSeries(std::move(one));
  }
  return chart;
}

}  // namespace

TEST(SvgChart, NoChartDrawsMoreThanItsBound) {
  struct Case {
    std::size_t series, length;
    int drawn;  // every finite value, or at most the bound
  };
  const Case cases[] = {
      {1, 5, 5},                 // the sample's five poses
      {3, 40, 117},              // short series stay whole, but for a gap in each
      {1, 5000, 2000},           // one long series: --repeat=1000, five poses each
      {1000, 5, 2000},           // a series per workflow run of --repeat=1000
      {4, 100000, 2000},         // a rotation's components over many poses
  };
  for (const Case& c : cases) {
    const auto [said, drawn] = drawnPoints(chartOf(c.series, c.length).html());
    EXPECT_EQ(said, drawn) << c.series << " x " << c.length;
    EXPECT_LE(drawn, static_cast<int>(SvgChart::kMostPoints)) << c.series << " x " << c.length;
    if (c.drawn < 2000) {
      EXPECT_EQ(drawn, c.drawn) << c.series << " x " << c.length;
    } else {
      EXPECT_GE(drawn, 1000) << c.series << " x " << c.length << ": buckets keep their extremes";
    }
  }
}
