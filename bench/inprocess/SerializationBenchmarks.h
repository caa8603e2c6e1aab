// Serialization: a PropertyDefinitions message with every catalogue row,
// encoded and decoded by the message's parser, beside nlohmann/json writing
// and reading the same data as JSON (what a user would pick instead).
#pragma once
#include <vector>

#include "PairedFigure.h"

namespace Orvel::Bench {

void registerSerializationBenchmarks(const BenchOptions& options, std::vector<PairedFigure>& figures);

}  // namespace Orvel::Bench
