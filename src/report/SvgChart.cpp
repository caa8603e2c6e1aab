#include "report/SvgChart.h"

#include <algorithm>
#include <cmath>

#include "report/ChartFrame.h"
#include "report/HtmlText.h"
#include "report/SeriesReduction.h"

namespace Orvel::Report {

namespace {

constexpr std::size_t kColours = 8;      // series colours s0 to s7 in the style sheet
constexpr std::size_t kMostLegend = 8;   // more series are told by a note
constexpr std::size_t kMostMarks = 20;   // more are counted in the note
constexpr std::size_t kMostDots = 60;    // a chart of this few values also shows them as dots

void widen(std::optional<std::pair<double, double>>& range, double value) {
  if (!std::isfinite(value)) return;
  if (!range) {
    range = std::make_pair(value, value);
  } else {
    range->first = std::min(range->first, value);
    range->second = std::max(range->second, value);
  }
}

std::string plural(std::size_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

SvgChart::SvgChart(std::string title, std::string xLabel, std::string yLabel)
    : title_(std::move(title)), xLabel_(std::move(xLabel)), yLabel_(std::move(yLabel)) {}

void SvgChart::addSeries(ChartSeries series) { series_.push_back(std::move(series)); }

void SvgChart::addMark(double x, std::string label) { marks_.emplace_back(x, std::move(label)); }

void SvgChart::setRanges(std::pair<double, double> x, std::pair<double, double> y) {
  xRange_ = x;
  yRange_ = y;
}

std::optional<std::pair<double, double>> SvgChart::xRange() const {
  std::optional<std::pair<double, double>> range;
  for (const ChartSeries& series : series_) {
    for (const ChartPoint& point : series.points) widen(range, point.x);
  }
  return range;
}

std::optional<std::pair<double, double>> SvgChart::yRange() const {
  std::optional<std::pair<double, double>> range;
  for (const ChartSeries& series : series_) {
    for (const ChartPoint& point : series.points) widen(range, point.y);
  }
  return range;
}

std::string SvgChart::html() const {
  const ChartFrame frame(xRange_.value_or(xRange().value_or(std::make_pair(0.0, 1.0))),
                         yRange_.value_or(yRange().value_or(std::make_pair(-1.0, 1.0))));
  // Every series gets an equal share of the points a chart draws.
  const std::size_t share = std::max<std::size_t>(2, kMostPoints / std::max<std::size_t>(1, series_.size()));
  std::string lines;
  std::string gapMarks;
  std::size_t points = 0;
  std::size_t gaps = 0;
  std::size_t values = 0;
  for (const ChartSeries& series : series_) values += finiteCount(series.points);
  const bool withDots = values <= kMostDots;
  for (std::size_t s = 0; s < series_.size(); ++s) {
    const std::vector<ChartPoint> reduced = reduceSeries(series_[s].points, share);
    gaps += series_[s].points.size() - finiteCount(series_[s].points);
    const std::string colour = "s" + std::to_string(s % kColours);
    std::string path;
    std::string dots;
    bool open = false;
    for (const ChartPoint& point : reduced) {
      if (!std::isfinite(point.y)) {
        open = false;
        const std::string x = ChartFrame::coordinate(frame.px(point.x));
        gapMarks += "<path class=\"gap\" d=\"M" + x + "," + ChartFrame::coordinate(ChartFrame::kBottom - 1) +
                    " l-5,-9 h10 z\"><title>value not finite</title></path>";
        continue;
      }
      const std::string xy = ChartFrame::coordinate(frame.px(point.x)) + "," + ChartFrame::coordinate(frame.py(point.y));
      path += (open ? " " : (path.empty() ? "M" : " M")) + xy;
      open = true;
      ++points;
      if (withDots) {
        dots += "<circle class=\"" + colour + "\" cx=\"" + ChartFrame::coordinate(frame.px(point.x)) + "\" cy=\"" +
                ChartFrame::coordinate(frame.py(point.y)) + "\" r=\"2.5\"></circle>";
      }
    }
    lines += "<path class=\"line " + colour + "\" d=\"" + path + "\"><title>" + htmlText(series_[s].name) +
             "</title></path>" + dots;
  }
  std::string marks;
  for (std::size_t m = 0; m < marks_.size() && m < kMostMarks; ++m) {
    const std::string x = ChartFrame::coordinate(frame.px(marks_[m].first));
    marks += "<line class=\"back\" x1=\"" + x + "\" y1=\"" + ChartFrame::coordinate(ChartFrame::kTop) + "\" x2=\"" +
             x + "\" y2=\"" + ChartFrame::coordinate(ChartFrame::kBottom) + "\"><title>" +
             htmlText(marks_[m].second) + "</title></line><text class=\"back-label\" x=\"" + x + "\" y=\"" +
             ChartFrame::coordinate(ChartFrame::kTop + 12) + "\">\xE2\x97\x86</text>";
  }
  std::string html = "<figure class=\"chart\">" + frame.open(title_, xLabel_, yLabel_, points) + lines + gapMarks +
                     marks + "</svg><figcaption>";
  if (series_.size() <= kMostLegend) {
    for (std::size_t s = 0; s < series_.size(); ++s) {
      html += "<span class=\"key\"><span class=\"swatch s" + std::to_string(s % kColours) + "\"></span>" +
              htmlText(series_[s].name) + "</span> ";
    }
  } else {
    html += "<span class=\"key\">" + plural(series_.size(), "series", "series") + ", colours in turn</span> ";
  }
  if (points == 0) html += "<span class=\"note\">No values to draw.</span> ";
  if (gaps > 0) {
    html += "<span class=\"note warn\">" + plural(gaps, "value", "values") +
            " not finite: gaps in the line, marked \xE2\x96\xBC on the time axis.</span> ";
  }
  if (!marks_.empty()) {
    std::vector<std::string> labels;
    for (const auto& mark : marks_) {
      if (std::find(labels.begin(), labels.end(), mark.second) == labels.end()) labels.push_back(mark.second);
    }
    std::string said;
    for (const std::string& label : labels) said += (said.empty() ? "" : "; ") + htmlText(label);
    html += "<span class=\"note warn\">\xE2\x97\x86 " + said + " (" + plural(marks_.size(), "place", "places") +
            (marks_.size() > kMostMarks ? ", the first 20 marked" : "") + ").</span>";
  }
  return html + "</figcaption></figure>";
}

}  // namespace Orvel::Report
