// Implementation here must contain only POSIX specific code.
#include "platform/SystemError.h"

#include <cerrno>
#include <cstring>

namespace Orvel {

bool systemErrorMessage(std::uint32_t code, std::string& message) {
  char buffer[256] = {};
  // GNU strerror_r may return a static string instead of filling the buffer.
  const char* text = buffer;
#if defined(__GLIBC__) && defined(_GNU_SOURCE)
  text = strerror_r(static_cast<int>(code), buffer, sizeof buffer);
#else
  if (strerror_r(static_cast<int>(code), buffer, sizeof buffer) != 0) buffer[0] = '\0';
#endif
  if (text == nullptr || text[0] == '\0') return false;
  message = text;
  return true;
}

std::uint32_t lastSystemErrorCode() { return static_cast<std::uint32_t>(errno); }

void setLastSystemErrorCode(std::uint32_t code) { errno = static_cast<int>(code); }

}  // namespace Orvel
