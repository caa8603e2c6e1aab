// The HTML report of a long run (--repeat=1000 --strict=1 of the sample
// tracker: 9,017 checks, 1,000 host lines, 5,000 poses, 1,000 timed calls),
// made from its record beside the JSON report of the same record, which CI
// already pays for.
#pragma once
#include <vector>

#include "PairedFigure.h"

namespace Orvel::Bench {

void registerHtmlReportBenchmarks(const BenchOptions& options, std::vector<PairedFigure>& figures);

}  // namespace Orvel::Bench
