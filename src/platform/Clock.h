// Clocks that differ between the platforms.
#pragma once
#include <cstdint>
#include <ctime>

namespace Orvel::platform {

// Milliseconds since an arbitrary start, wrapping at 2^32 (GetTickCount; on
// Linux the monotonic clock truncated to 32 bits).
std::uint32_t tickCount();

// The current calendar time (UTC seconds and nanoseconds) and its local
// broken-down form. False when the conversion fails.
bool localNow(std::tm& local, long& nanoseconds);

}  // namespace Orvel::platform
