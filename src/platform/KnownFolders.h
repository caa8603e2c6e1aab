// Machine-wide folders.
#pragma once
#include <filesystem>

namespace Orvel::platform {

// The program data folder: FOLDERID_ProgramData on Windows; on Linux the
// environment variable ProgramData when set and not empty, else /usr/share.
// False when the system cannot say.
bool programDataFolder(std::filesystem::path& folder);

}  // namespace Orvel::platform
