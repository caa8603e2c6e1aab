#include "tracking/ReportOutput.h"

#include "logging/StringUtil.h"

#include <cstdio>

namespace Orvel::Tracking {

void writeReport(const std::string& text) noexcept {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

void printReport(const char* format, ...) noexcept {
  va_list args;
  va_start(args, format);
  const std::string text = formatStringV(std::string::npos, format, args);
  va_end(args);
  writeReport(text);
}

}  // namespace Orvel::Tracking
