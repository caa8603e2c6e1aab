#include "platform/KnownFolders.h"

#include <cstdlib>

namespace Orvel::platform {

bool programDataFolder(std::filesystem::path& folder) {
  const char* value = std::getenv("ProgramData");
  folder = (value != nullptr && value[0] != '\0') ? std::filesystem::path(value) : std::filesystem::path("/usr/share");
  return true;
}

}  // namespace Orvel::platform
