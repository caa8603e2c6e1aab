// printf-style formatting into a narrow buffer, where "%S" (a wide string)
// is written in the narrow character set of the platform.
#pragma once
#include <cstdarg>
#include <cstddef>

namespace Orvel::platform {

// Like vsnprintf. On Linux a wide string with a character outside ASCII is
// written in UTF-8: the "C" character type cannot write it and would fail the
// whole message, so such a message is formatted again with a UTF-8 character
// type for the calling thread only (the process's locale never changes, and
// a message without such a character costs nothing extra). Windows writes wide
// strings in the process's code page, as its C library does.
int formatNarrow(char* buffer, std::size_t size, const char* format, va_list args);

}  // namespace Orvel::platform
