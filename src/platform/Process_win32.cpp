// Implementation here must contain only Win32 specific code.
#include "platform/Process.h"

namespace Orvel::platform {

void initializeProcessLocale() {}

}  // namespace Orvel::platform
