// String helpers shared by every component.
#pragma once
#include <string>
#include <string_view>

#include "logging/PrintfFormat.h"
#include "logging/StringConversionError.h"

namespace strutil {

// Strict UTF-8 <-> wide conversion. Empty input gives empty output; invalid
// input throws StringConversionError.
std::wstring utf8ToWide(std::string_view text);
std::string wideToUtf8(std::wstring_view text);

}  // namespace strutil

namespace Orvel {

// printf-style formatting through a 4096-byte buffer: at most 4095 characters.
// A longer text is cut to 4095 characters; a format that fails gives "".
std::string formatString(const char* format, ...) ORVEL_PRINTF_FORMAT(1, 2);

}  // namespace Orvel
