// Implementation here must contain only Win32 specific code.
#include "platform/ThreadHeaps.h"

namespace Orvel::platform {

void shareOneHeapAmongThreads() {}

}  // namespace Orvel::platform
