// A packed plugin API version as its four numbers with dots ("4.16.0.0"), as
// the runs, the reports and the listing print it.
#pragma once
#include <cstdint>
#include <string>

namespace Orvel::Tracking {

std::string apiVersionText(std::uint64_t version);

}  // namespace Orvel::Tracking
