// One benchmark figure printed beside its limit: the measured value, the value
// the same work reaches with nothing but the unavoidable part, their ratio and
// whether the ratio meets its target. Every benchmark prints its figures with
// this, one line each, so a run reads (and greps) the same everywhere:
//
//   [figure] receiver, 60-byte updates: 812345 frames/s | limit (bare reads): 903210 frames/s | ratio 0.90 | target >= 0.80 | met
#pragma once
#include <cstdio>
#include <string>

namespace Orvel::Bench {

struct Figure {
  std::string name;        // what is measured
  double measured = 0;     // the program's own figure
  double limit = 0;        // the same work done by the bare reference
  std::string unit;        // unit of both values
  std::string limitName;   // what the reference is
  bool higherIsBetter = false;  // throughput: ratio = measured / limit; times: the same, but the target is a maximum
  double target = 0;       // the ratio the program must reach (minimum when higherIsBetter, else maximum)

  double ratio() const { return limit > 0 ? measured / limit : 0; }
  bool met() const { return higherIsBetter ? ratio() >= target : ratio() <= target; }
};

inline std::string formatValue(double value) {
  char text[64];
  if (value >= 100) {
    std::snprintf(text, sizeof text, "%.0f", value);
  } else if (value >= 1) {
    std::snprintf(text, sizeof text, "%.2f", value);
  } else {
    std::snprintf(text, sizeof text, "%.4g", value);
  }
  return text;
}

inline void printFigure(const Figure& figure) {
  std::printf("[figure] %s: %s %s | limit (%s): %s %s | ratio %.2f | target %s %.2f | %s\n", figure.name.c_str(),
              formatValue(figure.measured).c_str(), figure.unit.c_str(), figure.limitName.c_str(),
              formatValue(figure.limit).c_str(), figure.unit.c_str(), figure.ratio(),
              figure.higherIsBetter ? ">=" : "<=", figure.target, figure.met() ? "met" : "MISSED");
  std::fflush(stdout);
}

}  // namespace Orvel::Bench
