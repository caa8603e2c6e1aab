#include "platform/SystemError.h"

#include <cstdio>
#include <exception>

namespace Orvel {

std::string formatSystemError(std::uint32_t code) {
  try {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%X", static_cast<unsigned>(code));
    std::string text = hex;
    std::string message;
    if (systemErrorMessage(code, message)) {
      while (!message.empty() && (message.back() == '\r' || message.back() == '\n')) message.pop_back();
      text += ": ";
      text += message;
    }
    return text;
  } catch (const std::exception&) {
    return {};
  }
}

std::string lastSystemErrorText() {
  const std::uint32_t code = lastSystemErrorCode();
  return code == 0 ? std::string() : formatSystemError(code);
}

}  // namespace Orvel
