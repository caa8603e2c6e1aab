// Implementation here must contain only Win32 specific code.
#include "platform/NarrowFormat.h"

#include <cstdio>

namespace Orvel::platform {

int formatNarrow(char* buffer, std::size_t size, const char* format, va_list args) {
  return std::vsnprintf(buffer, size, format, args);
}

}  // namespace Orvel::platform
