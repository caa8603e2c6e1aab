#pragma once
#include <string>

namespace Orvel {

// Names the calling thread for debuggers: keeps at most 127 characters of the
// name, converts them to UTF-16 and hands them to the system. Never throws.
void setCurrentThreadName(const std::string& name);

}  // namespace Orvel
