// The pose function's call times (--strict=1) as an SVG histogram in
// microseconds, with the 50th and 99th percentiles and the largest call
// marked and the budget drawn as a line.
#pragma once
#include <string>

#include "run/LatencyFigures.h"

namespace Orvel::Report {

std::string latencyHistogram(const Verifier::LatencyFigures& latency);

}  // namespace Orvel::Report
