// One constant per catalogue key, for code that names a property:
// PropertyKeys::OrvelTracking_ActivePlugin holds "OrvelTracking.ActivePlugin"
// (points of the key become underscores). Each is a constant of the
// compiler's: valid at any time, static initialization included, and the
// program makes nothing for it when it starts.
#pragma once
#include <string_view>

namespace Orvel::State::PropertyKeys {

#define ORVEL_PROPERTY(constant, key, ...) inline constexpr std::string_view constant = key;
#define ORVEL_PROPERTY_WITH_FORMATTER ORVEL_PROPERTY
#include "property/PropertyTable.inc"
#undef ORVEL_PROPERTY
#undef ORVEL_PROPERTY_WITH_FORMATTER

}  // namespace Orvel::State::PropertyKeys
