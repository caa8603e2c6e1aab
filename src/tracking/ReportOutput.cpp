#include "tracking/ReportOutput.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace Orvel::Tracking {

void printReport(const char* format, ...) noexcept {
  char small[512];
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(small, sizeof small, format, args);
  va_end(args);
  if (length < 0) {
    va_end(again);
    return;
  }
  const char* text = small;
  std::vector<char> large;
  std::size_t size = static_cast<std::size_t>(length);
  if (size >= sizeof small) {
    try {
      large.resize(size + 1);
      std::vsnprintf(large.data(), large.size(), format, again);
      text = large.data();
    } catch (...) {
      // Plugins call this through C frames: never let an exception out; write what fits.
      size = sizeof small - 1;
    }
  }
  va_end(again);
  std::fwrite(text, 1, size, stdout);
  std::fflush(stdout);
}

}  // namespace Orvel::Tracking
