// The frame that the SVG charts share: the drawing's size, the scales that
// map values into the plot area, and the axes with ticks and labels.
#pragma once
#include <string>
#include <utility>

namespace Orvel::Report {

class ChartFrame {
 public:
  // About the size drawn in a column of three, so that the text keeps its size.
  static constexpr double kWidth = 420;
  static constexpr double kHeight = 250;
  static constexpr double kLeft = 66;
  static constexpr double kRight = kWidth - 12;
  static constexpr double kTop = 28;
  static constexpr double kBottom = kHeight - 40;

  // The ranges of the values drawn; an empty range is widened around its
  // value, and the value range gets a margin.
  ChartFrame(std::pair<double, double> x, std::pair<double, double> y);

  // Where a value lies in the drawing (finite values within the ranges).
  double px(double x) const;
  double py(double y) const;

  // The opening <svg> tag with the title (also as the SVG's accessible
  // name), the plot area, the ticks with their values and the axis labels.
  // `points` is the number of points the chart's lines go through.
  std::string open(const std::string& title, const std::string& xLabel, const std::string& yLabel,
                   std::size_t points) const;

  // A coordinate in the drawing, with one decimal.
  static std::string coordinate(double value);
  // A value for a tick or a note: at most four significant digits.
  static std::string value(double value);

 private:
  std::pair<double, double> x_;
  std::pair<double, double> y_;
};

}  // namespace Orvel::Report
