// Lines for standard output, shared by the host services that plugins call
// and by the verification runs' report lines.
#pragma once
#include <cstdarg>
#include <functional>
#include <string>
#include <string_view>

#include "logging/PrintfFormat.h"

namespace Orvel::Tracking {

// Formats printf-style and writes the text to standard output with one write
// and a flush, so that lines written by several threads at once never mix
// within a line and what was printed before a plugin crash stays visible.
void printReport(const char* format, ...) noexcept ORVEL_PRINTF_FORMAT(1, 2);

// Writes the text as printReport does.
void writeReport(const std::string& text) noexcept;

// Writes the bytes as writeReport does, without the flush (see flushReport).
void writeReportBytes(std::string_view bytes) noexcept;
// Flushes what writeReportBytes wrote to standard output.
void flushReport() noexcept;

// Where the calling thread's report text goes instead of standard output:
// each piece written is handed to the sink. Several runs at once each write
// their own text on a thread of their own.
using ReportSink = std::function<void(std::string_view bytes)>;
// Sets the calling thread's sink (null: standard output again); returns the
// one it replaces. The sink must outlive its use.
const ReportSink* setThreadReportSink(const ReportSink* sink) noexcept;
// Whether the calling thread's report text goes to standard output (no sink).
bool reportsToStandardOutput() noexcept;

// A text from a plugin for "%s": "(null)" for a null pointer, on every platform.
inline const char* pluginText(const char* text) { return text != nullptr ? text : "(null)"; }

}  // namespace Orvel::Tracking
