// Naming threads for debuggers.
#pragma once
#include <string>

namespace Orvel::platform {

// SetThreadDescription on Windows (resolved at run time: older systems and the
// mingw headers lack it); pthread_setname_np on Linux, cut to 15 bytes.
void setThreadDescription(const std::wstring& name);

}  // namespace Orvel::platform
