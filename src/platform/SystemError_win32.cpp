// Implementation here must contain only Win32 specific code.
#include "platform/SystemError.h"

#include "platform/UniqueHandle_win32.h"

#include <cstdio>
#include <exception>

namespace Orvel {

std::string formatSystemError(std::uint32_t code) {
  try {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%X", static_cast<unsigned>(code));
    std::string text = hex;
    platform::UniqueLocalBuffer<char> buffer;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, code,
        0x400, reinterpret_cast<LPSTR>(buffer.receive()), 0, nullptr);
    if (length != 0 && buffer) {
      std::string message(buffer.get(), length);
      while (!message.empty() && (message.back() == '\r' || message.back() == '\n')) message.pop_back();
      text += ": ";
      text += message;
    }
    return text;
  } catch (const std::exception&) {
    return {};
  }
}

std::uint32_t lastSystemErrorCode() { return GetLastError(); }

void setLastSystemErrorCode(std::uint32_t code) { SetLastError(code); }

std::string lastSystemErrorText() {
  const DWORD code = GetLastError();
  return code == 0 ? std::string() : formatSystemError(code);
}

}  // namespace Orvel
