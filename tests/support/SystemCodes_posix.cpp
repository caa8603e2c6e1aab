// Implementation here must contain only POSIX specific code.
#include "support/SystemCodes.h"

#include <cerrno>

namespace Orvel::Test {

std::uint32_t timeoutErrorCode() { return ETIMEDOUT; }

}  // namespace Orvel::Test
