#include "logging/StringConversionError.h"

#include <fmt/format.h>

namespace strutil {

StringConversionError::StringConversionError(std::uint32_t errorCode)
    : std::runtime_error(fmt::format("String conversion error: {}", errorCode)), code_(errorCode) {}

}  // namespace strutil
