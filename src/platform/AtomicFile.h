// Writing a file so that a reader never sees half of it.
#pragma once
#include <string>

namespace Orvel::platform {

// Writes `contents` to a new file in the folder of `path` (named after it,
// with the process id and ".tmp" added) and renames it to `path`, replacing
// a file there. The path is narrow text as typed: the code page of the file
// functions on Windows, bytes on Linux. False on failure, with the system's
// error text ("0x" + code + ": " + message) in `errorText` and no file left
// behind.
bool writeFileAtomically(const std::string& path, const std::string& contents, std::string& errorText);

}  // namespace Orvel::platform
