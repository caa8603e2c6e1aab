// One constant per catalogue key, for code that names a property:
// PropertyKeys::OrvelTracking_ActivePlugin holds "OrvelTracking.ActivePlugin"
// (points of the key become underscores). Each refers to its row's key text
// (catalogueTable()): valid once static initialization of the catalogue's
// source file has run, that is from main() on, to the end of the process
// (the texts are never destroyed).
#pragma once
#include <string>

namespace Orvel::State::PropertyKeys {

#define ORVEL_PROPERTY(constant, ...) extern const std::string& constant;
#define ORVEL_PROPERTY_WITH_FORMATTER(constant, ...) extern const std::string& constant;
#include "property/PropertyTable.inc"
#undef ORVEL_PROPERTY
#undef ORVEL_PROPERTY_WITH_FORMATTER

}  // namespace Orvel::State::PropertyKeys
