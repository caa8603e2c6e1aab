// Implementation here must contain only Win32 specific code.
#include "platform/Clock.h"

#include "platform/windows_include.h"

#include <chrono>
#include <time.h>

namespace Orvel::platform {

std::uint32_t tickCount() { return GetTickCount(); }

bool localNow(std::tm& local, long& nanoseconds) {
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(now);
  nanoseconds = static_cast<long>(std::chrono::duration_cast<std::chrono::nanoseconds>(now - seconds).count());
  const __time64_t time = seconds.count();
  return _localtime64_s(&local, &time) == 0;
}

}  // namespace Orvel::platform
