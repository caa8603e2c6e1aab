#include "platform/Clock.h"

#include <time.h>

namespace Orvel::platform {

std::uint32_t tickCount() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  const auto ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<std::uint32_t>(ms);
}

bool localNow(std::tm& local, long& nanoseconds) {
  timespec now{};
  if (clock_gettime(CLOCK_REALTIME, &now) != 0) return false;
  nanoseconds = now.tv_nsec;
  return localtime_r(&now.tv_sec, &local) != nullptr;
}

}  // namespace Orvel::platform
