#include "platform/ProcessThreads.h"

#include <dirent.h>

namespace Orvel::platform {

std::optional<std::size_t> processThreadCount() {
  DIR* tasks = opendir("/proc/self/task");
  if (tasks == nullptr) return std::nullopt;
  std::size_t count = 0;
  while (const dirent* entry = readdir(tasks)) {
    if (entry->d_name[0] != '.') ++count;
  }
  closedir(tasks);
  return count > 0 ? std::optional<std::size_t>(count) : std::nullopt;
}

}  // namespace Orvel::platform
