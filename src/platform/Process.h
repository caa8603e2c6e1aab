// Process-wide settings made once, at the start of main().
#pragma once

namespace Orvel::platform {

// Lets the C library's wide-to-narrow conversions (the logger's "%S") write
// any character: on Linux the character type of the locale becomes UTF-8, so
// a path with non-ASCII characters is logged instead of failing the whole
// message. Windows keeps the process's code page.
void initializeProcessLocale();

}  // namespace Orvel::platform
