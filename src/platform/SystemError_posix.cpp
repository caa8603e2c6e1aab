#include "platform/SystemError.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>

namespace Orvel {

std::string formatSystemError(std::uint32_t code) {
  try {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%X", static_cast<unsigned>(code));
    std::string text = hex;
    char buffer[256] = {};
    // GNU strerror_r may return a static string instead of filling the buffer.
    const char* message = buffer;
#if defined(__GLIBC__) && defined(_GNU_SOURCE)
    message = strerror_r(static_cast<int>(code), buffer, sizeof buffer);
#else
    if (strerror_r(static_cast<int>(code), buffer, sizeof buffer) != 0) buffer[0] = '\0';
#endif
    if (message != nullptr && message[0] != '\0') {
      text += ": ";
      text += message;
    }
    return text;
  } catch (const std::exception&) {
    return {};
  }
}

std::uint32_t lastSystemErrorCode() { return static_cast<std::uint32_t>(errno); }

void setLastSystemErrorCode(std::uint32_t code) { errno = static_cast<int>(code); }

std::string lastSystemErrorText() {
  const int code = errno;
  return code == 0 ? std::string() : formatSystemError(static_cast<std::uint32_t>(code));
}

}  // namespace Orvel
