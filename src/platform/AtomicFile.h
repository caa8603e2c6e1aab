// Writing a report file so that a reader never sees half of it, and nothing
// that is not a regular file is ever replaced.
#pragma once
#include <string>

namespace Orvel::platform {

// Writes `contents` to the file at `path`. The path is narrow text as typed:
// the code page of the file functions on Windows, bytes on Linux.
// - A regular file, or a path where nothing is yet: written to a new file in
//   the same folder (named after it, with the process id and ".tmp" added),
//   which is then renamed over it.
// - A symbolic link: the file it leads to is written that way, and the link
//   stays.
// - Anything else (a FIFO, a device, a console, a pipe), and a file that is
//   this process's own standard output or error: written directly, without
//   a temporary file, and never replaced.
// False on failure, with the system's error text ("0x" + code + ": " +
// message) in `errorText` and no file left behind.
bool writeFileAtomically(const std::string& path, const std::string& contents, std::string& errorText);

// Removes the temporary files that writeFileAtomically is writing at this
// moment. For an interrupted process about to end: safe in a signal handler
// or a console control handler (no allocation, no lock); files written after
// it are not removed.
void removeTemporaryFiles() noexcept;

}  // namespace Orvel::platform
