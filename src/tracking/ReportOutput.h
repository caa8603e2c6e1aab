// Lines for standard output, shared by the host services that plugins call
// and by the verification runs' report lines.
#pragma once
#include <cstdio>  // defines __MINGW_PRINTF_FORMAT on mingw

namespace Orvel::Tracking {

// Formats printf-style and writes the text to standard output with one write
// and a flush, so that lines written by several threads at once never mix
// within a line and what was printed before a plugin crash stays visible.
void printReport(const char* format, ...) noexcept
#if defined(__MINGW32__)
    __attribute__((format(__MINGW_PRINTF_FORMAT, 1, 2)))
#elif defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// A text from a plugin for "%s": "(null)" for a null pointer, on every platform.
inline const char* pluginText(const char* text) { return text != nullptr ? text : "(null)"; }

}  // namespace Orvel::Tracking
