// Implementation here must contain only Win32 specific code.
#include "platform/ProcessThreads.h"

#include "platform/UniqueHandle_win32.h"
#include "platform/windows_include.h"

#include <tlhelp32.h>

namespace Orvel::platform {

std::optional<std::size_t> processThreadCount() {
  const UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
  if (!snapshot) return std::nullopt;
  const DWORD self = GetCurrentProcessId();
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  std::size_t count = 0;
  for (BOOL more = Thread32First(snapshot.get(), &entry); more; more = Thread32Next(snapshot.get(), &entry)) {
    if (entry.th32OwnerProcessID == self) ++count;
    entry.dwSize = sizeof entry;
  }
  return count > 0 ? std::optional<std::size_t>(count) : std::nullopt;
}

}  // namespace Orvel::platform
