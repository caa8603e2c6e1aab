#include "report/ChartFrame.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "report/HtmlText.h"

namespace Orvel::Report {

namespace {

constexpr int kMostTicks = 12;

// A range that is not empty; halves are used so that no difference of two
// finite values overflows.
std::pair<double, double> widened(std::pair<double, double> range, double margin) {
  auto [low, high] = range;
  if (!std::isfinite(low) || !std::isfinite(high) || low > high) return {0, 1};
  if (low == high) {
    const double spread = low == 0 ? 1 : std::abs(low) * 0.05;
    return {low - spread, high + spread};
  }
  const double half = high / 2 - low / 2;
  const double pad = half * 2 * margin;
  return {std::max(low - pad, -1e308), std::min(high + pad, 1e308)};
}

// The step between ticks: 1, 2 or 5 times a power of ten, giving about five ticks.
double tickStep(std::pair<double, double> range) {
  const double rough = (range.second / 2 - range.first / 2) / 2.5;
  const double power = std::pow(10.0, std::floor(std::log10(rough)));
  const double scaled = rough / power;
  return (scaled < 1.5 ? 1 : scaled < 3.5 ? 2 : scaled < 7.5 ? 5 : 10) * power;
}

std::vector<double> ticks(std::pair<double, double> range) {
  std::vector<double> result;
  const double step = tickStep(range);
  if (!std::isfinite(step) || step <= 0) return result;
  for (double tick = std::ceil(range.first / step) * step; tick <= range.second && result.size() < kMostTicks;
       tick += step) {
    result.push_back(std::abs(tick) < step * 1e-9 ? 0 : tick);
  }
  return result;
}

}  // namespace

ChartFrame::ChartFrame(std::pair<double, double> x, std::pair<double, double> y)
    : x_(widened(x, 0)), y_(widened(y, 0.05)) {}

double ChartFrame::px(double x) const {
  return kLeft + (x / 2 - x_.first / 2) / (x_.second / 2 - x_.first / 2) * (kRight - kLeft);
}

double ChartFrame::py(double y) const {
  return kBottom - (y / 2 - y_.first / 2) / (y_.second / 2 - y_.first / 2) * (kBottom - kTop);
}

std::string ChartFrame::coordinate(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", value);
  return text;
}

std::string ChartFrame::value(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.4g", value);
  return text;
}

std::string ChartFrame::open(const std::string& title, const std::string& xLabel, const std::string& yLabel,
                             std::size_t points) const {
  const std::string name = htmlText(title);
  std::string svg = "<svg viewBox=\"0 0 " + coordinate(kWidth) + " " + coordinate(kHeight) +
                    "\" role=\"img\" aria-label=\"" + name + "\" data-points=\"" + std::to_string(points) +
                    "\"><title>" + name + "</title>";
  svg += "<text class=\"chart-title\" x=\"" + coordinate(kLeft) + "\" y=\"18\">" + name + "</text>";
  svg += "<rect class=\"plot\" x=\"" + coordinate(kLeft) + "\" y=\"" + coordinate(kTop) + "\" width=\"" +
         coordinate(kRight - kLeft) + "\" height=\"" + coordinate(kBottom - kTop) + "\"></rect>";
  for (const double tick : ticks(x_)) {
    const std::string at = coordinate(px(tick));
    svg += "<line class=\"tick\" x1=\"" + at + "\" y1=\"" + coordinate(kBottom) + "\" x2=\"" + at + "\" y2=\"" +
           coordinate(kBottom + 5) + "\"></line><text class=\"tick-x\" x=\"" + at + "\" y=\"" +
           coordinate(kBottom + 18) + "\">" + value(tick) + "</text>";
  }
  for (const double tick : ticks(y_)) {
    const std::string at = coordinate(py(tick));
    svg += "<line class=\"grid\" x1=\"" + coordinate(kLeft) + "\" y1=\"" + at + "\" x2=\"" + coordinate(kRight) +
           "\" y2=\"" + at + "\"></line><text class=\"tick-y\" x=\"" + coordinate(kLeft - 6) + "\" y=\"" + at +
           "\">" + value(tick) + "</text>";
  }
  svg += "<text class=\"label-x\" x=\"" + coordinate((kLeft + kRight) / 2) + "\" y=\"" + coordinate(kHeight - 6) +
         "\">" + htmlText(xLabel) + "</text>";
  svg += "<text class=\"label-y\" transform=\"translate(14 " + coordinate((kTop + kBottom) / 2) +
         ") rotate(-90)\">" + htmlText(yLabel) + "</text>";
  return svg;
}

}  // namespace Orvel::Report
