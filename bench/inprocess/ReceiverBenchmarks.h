// Receiver throughput: frames per second received over a real pipe, decoded
// and dispatched to a handler by the IPC client, beside a bare loop that does
// only the two exact reads per frame (header, then the rest) on the same kind
// of connection.
#pragma once
#include <vector>

#include "PairedFigure.h"

namespace Orvel::Bench {

void registerReceiverBenchmarks(const BenchOptions& options, std::vector<PairedFigure>& figures);

}  // namespace Orvel::Bench
