// The threads of this process.
#pragma once
#include <cstddef>
#include <optional>

namespace Orvel::platform {

// The number of threads this process has now; nullopt when the system cannot
// say. Windows: a Toolhelp32 snapshot of the system's threads, counted by
// owner. Linux: the entries of /proc/self/task.
std::optional<std::size_t> processThreadCount();

}  // namespace Orvel::platform
