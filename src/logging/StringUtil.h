// String helpers shared by every component.
#pragma once
#include <cstdarg>
#include <cstddef>
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

// The longest text that formatString and the log's messages keep.
constexpr std::size_t kFormattedTextLimit = 4095;

// printf-style formatting into a text of at most maxLength characters: a
// longer text is cut to maxLength, a format that fails gives "". Never
// throws (plugins reach it through C frames): when memory runs out, the text
// is what fits into 511 bytes. Every printf into a string goes through here.
std::string formatStringV(std::size_t maxLength, const char* format, va_list args) noexcept;

// formatStringV cut at kFormattedTextLimit characters.
std::string formatString(const char* format, ...) ORVEL_PRINTF_FORMAT(1, 2);

}  // namespace Orvel
