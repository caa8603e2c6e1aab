// Lines for standard output, shared by the host services that plugins call
// and by the verification runs' report lines.
#pragma once
#include <cstdarg>
#include <string>

#include "logging/PrintfFormat.h"

namespace Orvel::Tracking {

// Formats printf-style and writes the text to standard output with one write
// and a flush, so that lines written by several threads at once never mix
// within a line and what was printed before a plugin crash stays visible.
void printReport(const char* format, ...) noexcept ORVEL_PRINTF_FORMAT(1, 2);

// Writes the text as printReport does.
void writeReport(const std::string& text) noexcept;

// A text from a plugin for "%s": "(null)" for a null pointer, on every platform.
inline const char* pluginText(const char* text) { return text != nullptr ? text : "(null)"; }

}  // namespace Orvel::Tracking
