#include "tracking/ReportOutput.h"

#include <cstdio>

namespace Orvel::Tracking {

std::string formatReport(const char* format, va_list args) noexcept {
  char small[512];
  va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(small, sizeof small, format, args);
  std::string text;
  if (length >= 0) {
    try {
      const auto size = static_cast<std::size_t>(length);
      if (size < sizeof small) {
        text.assign(small, size);
      } else {
        text.resize(size + 1);
        std::vsnprintf(&text[0], text.size(), format, again);
        text.resize(size);
      }
    } catch (...) {
      // Plugins call this through C frames: never let an exception out; keep what fits.
      try {
        text.assign(small, sizeof small - 1);
      } catch (...) {
      }
    }
  }
  va_end(again);
  return text;
}

void writeReport(const std::string& text) noexcept {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

void printReport(const char* format, ...) noexcept {
  va_list args;
  va_start(args, format);
  const std::string text = formatReport(format, args);
  va_end(args);
  writeReport(text);
}

}  // namespace Orvel::Tracking
