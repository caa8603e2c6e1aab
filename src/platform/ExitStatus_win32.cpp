// Implementation here must contain only Win32 specific code.
#include "platform/ExitStatus.h"

namespace Orvel::platform {

int processExitStatus(int status) { return status; }

}  // namespace Orvel::platform
