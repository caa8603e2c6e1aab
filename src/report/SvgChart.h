// A line chart as inline SVG: a title, axes with ticks, labels and units,
// one line per series (long series reduced, see reduceSeries), a legend,
// gaps where values are not finite (each marked on the time axis, with a
// note), and marks where the data goes back.
#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "report/ChartSeries.h"

namespace Orvel::Report {

class SvgChart {
 public:
  // The most points that one chart draws.
  static constexpr std::size_t kMostPoints = 2000;

  SvgChart(std::string title, std::string xLabel, std::string yLabel);

  void addSeries(ChartSeries series);
  // A place on the x axis where something went back ("time stamp goes back").
  void addMark(double x, std::string label);
  // The ranges of the axes, for charts that share their scales; by default
  // those of the chart's own finite values.
  void setRanges(std::pair<double, double> x, std::pair<double, double> y);

  // The ranges of the finite values of the series (nullopt without any).
  std::optional<std::pair<double, double>> xRange() const;
  std::optional<std::pair<double, double>> yRange() const;

  // The chart as an <svg> element with a note below it, in a <figure>. The
  // <svg> carries data-points: the number of points its lines go through.
  std::string html() const;

 private:
  std::string title_;
  std::string xLabel_;
  std::string yLabel_;
  std::vector<ChartSeries> series_;
  std::vector<std::pair<double, std::string>> marks_;
  std::optional<std::pair<double, double>> xRange_;
  std::optional<std::pair<double, double>> yRange_;
};

}  // namespace Orvel::Report
