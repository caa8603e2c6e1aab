// Implementation here must contain only Win32 specific code.
#include "support/SystemCodes.h"

#include "platform/windows_include.h"

namespace Orvel::Test {

std::uint32_t timeoutErrorCode() { return ERROR_TIMEOUT; }

}  // namespace Orvel::Test
