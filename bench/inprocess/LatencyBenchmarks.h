// Update latency: a local write on one property client until the listener on
// a second client of the reference server (a real OrvelPropertyServer
// process) sees the new value, beside a bare round trip of the same frame
// bytes to an echo process over the same kind of connection.
#pragma once
#include <vector>

#include "PairedFigure.h"

namespace Orvel::Bench {

void registerLatencyBenchmarks(const BenchOptions& options, std::vector<PairedFigure>& figures);

}  // namespace Orvel::Bench
