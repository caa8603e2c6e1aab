#include "tracking/ReportOutput.h"

#include "logging/ProgressLine.h"
#include "logging/StringUtil.h"

#include <cstdio>

namespace Orvel::Tracking {

namespace {

thread_local const ReportSink* threadSink = nullptr;

}  // namespace

const ReportSink* setThreadReportSink(const ReportSink* sink) noexcept {
  const ReportSink* before = threadSink;
  threadSink = sink;
  return before;
}

bool reportsToStandardOutput() noexcept { return threadSink == nullptr; }

void writeReportBytes(std::string_view bytes) noexcept {
  if (threadSink == nullptr) {
    ProgressLine::instance().write(stdout, bytes);
    return;
  }
  try {
    (*threadSink)(bytes);
  } catch (...) {
    // Out of memory: the text is lost with the run that wrote it.
  }
}

void flushReport() noexcept {
  if (threadSink == nullptr) std::fflush(stdout);
}

void writeReport(const std::string& text) noexcept {
  writeReportBytes(text);
  flushReport();
}

void printReport(const char* format, ...) noexcept {
  va_list args;
  va_start(args, format);
  const std::string text = formatStringV(std::string::npos, format, args);
  va_end(args);
  writeReport(text);
}

}  // namespace Orvel::Tracking
