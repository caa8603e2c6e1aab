#include "report/LatencyHistogram.h"

#include <algorithm>
#include <vector>

#include "report/ChartFrame.h"
#include "report/HtmlText.h"

namespace Orvel::Report {

namespace {

constexpr std::size_t kBins = 50;

double microseconds(std::chrono::nanoseconds duration) { return static_cast<double>(duration.count()) / 1e3; }

// A vertical line across the plot with its label at the top.
std::string markLine(const ChartFrame& frame, const char* kind, double x, const std::string& label, double labelY) {
  const std::string at = ChartFrame::coordinate(frame.px(x));
  // Labels near the right edge stand to the left of their line.
  const bool left = frame.px(x) > ChartFrame::kRight - 120;
  return "<line class=\"" + std::string(kind) + "\" x1=\"" + at + "\" y1=\"" +
         ChartFrame::coordinate(ChartFrame::kTop) + "\" x2=\"" + at + "\" y2=\"" +
         ChartFrame::coordinate(ChartFrame::kBottom) + "\"></line><text class=\"mark-label" +
         (left ? " end" : "") + "\" x=\"" + ChartFrame::coordinate(frame.px(x) + (left ? -3 : 3)) + "\" y=\"" +
         ChartFrame::coordinate(labelY) + "\">" + htmlText(label) + "</text>";
}

}  // namespace

std::string latencyHistogram(const Verifier::LatencyFigures& latency) {
  const double maxUs = microseconds(latency.max);
  const double budget = latency.budgetUs;
  // The axis reaches the budget unless the calls are far below it: then the
  // calls keep the width and the budget is drawn at the right edge.
  const bool budgetBeyond = budget > 4 * std::max(maxUs, 1.0);
  const double high = std::max({maxUs, budgetBeyond ? 0.0 : budget, 1.0}) * 1.08;
  const double width = high / kBins;
  std::vector<std::size_t> counts(kBins, 0);
  for (const std::chrono::nanoseconds sample : latency.samples) {
    const auto bin = static_cast<std::size_t>(microseconds(sample) / width);
    ++counts[std::min(bin, kBins - 1)];
  }
  const std::size_t tallest = std::max<std::size_t>(1, *std::max_element(counts.begin(), counts.end()));
  const ChartFrame frame({0, high}, {0, static_cast<double>(tallest)});
  std::string bars;
  std::size_t drawn = 0;
  for (std::size_t bin = 0; bin < kBins; ++bin) {
    if (counts[bin] == 0) continue;
    ++drawn;
    const double left = frame.px(static_cast<double>(bin) * width);
    const double top = frame.py(static_cast<double>(counts[bin]));
    bars += "<rect class=\"bar\" x=\"" + ChartFrame::coordinate(left) + "\" y=\"" + ChartFrame::coordinate(top) +
            "\" width=\"" + ChartFrame::coordinate(frame.px(width) - frame.px(0) - 1) + "\" height=\"" +
            ChartFrame::coordinate(frame.py(0) - top) + "\"><title>" + std::to_string(counts[bin]) +
            " calls</title></rect>";
  }
  const std::string title = latency.function + " call times (" + std::to_string(latency.calls) + " calls)";
  std::string html = "<figure class=\"chart wide\">" + frame.open(title, "call time (\xC2\xB5s)", "calls", drawn) + bars;
  const auto whole = [](std::chrono::nanoseconds d) { return std::to_string(Verifier::LatencyFigures::wholeMicroseconds(d)); };
  html += markLine(frame, "p50", microseconds(latency.p50), "p50 " + whole(latency.p50) + " \xC2\xB5s", ChartFrame::kTop + 12);
  html += markLine(frame, "p99", microseconds(latency.p99), "p99 " + whole(latency.p99) + " \xC2\xB5s", ChartFrame::kTop + 26);
  html += markLine(frame, "max", maxUs, "max " + whole(latency.max) + " \xC2\xB5s", ChartFrame::kTop + 40);
  html += budgetBeyond ? markLine(frame, "budget", high, "budget " + std::to_string(latency.budgetUs) + " \xC2\xB5s \xE2\x86\x92",
                                  ChartFrame::kTop + 54)
                       : markLine(frame, "budget", budget, "budget " + std::to_string(latency.budgetUs) + " \xC2\xB5s",
                                  ChartFrame::kTop + 54);
  html += "</svg><figcaption><span class=\"key\"><span class=\"swatch bar\"></span>calls per " +
          ChartFrame::value(width) + " \xC2\xB5s</span> <span class=\"key\"><span class=\"swatch budget\"></span>budget</span>";
  if (budgetBeyond) {
    html += " <span class=\"note\">The budget lies beyond the right edge, at " + std::to_string(latency.budgetUs) +
            " \xC2\xB5s.</span>";
  }
  if (latency.samples.empty()) html += " <span class=\"note\">The call times were not kept: figures only.</span>";
  return html + "</figcaption></figure>";
}

}  // namespace Orvel::Report
