// Implementation here must contain only Win32 specific code.
#include "platform/SystemError.h"

#include "platform/UniqueHandle_win32.h"

namespace Orvel {

bool systemErrorMessage(std::uint32_t code, std::string& message) {
  platform::UniqueLocalBuffer<char> buffer;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, code,
      0x400, reinterpret_cast<LPSTR>(buffer.receive()), 0, nullptr);
  if (length == 0 || !buffer) return false;
  message.assign(buffer.get(), length);
  return true;
}

std::uint32_t lastSystemErrorCode() { return GetLastError(); }

void setLastSystemErrorCode(std::uint32_t code) { SetLastError(code); }

}  // namespace Orvel
