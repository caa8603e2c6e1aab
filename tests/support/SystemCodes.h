// System error codes whose values differ between the platforms.
#pragma once
#include <cstdint>

namespace Orvel::Test {

// What a pipe reports when time runs out: ERROR_TIMEOUT (1460) on Windows,
// ETIMEDOUT on Linux.
std::uint32_t timeoutErrorCode();

}  // namespace Orvel::Test
