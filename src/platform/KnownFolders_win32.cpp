// Implementation here must contain only Win32 specific code.
#include "platform/KnownFolders.h"

#include "platform/UniqueHandle_win32.h"

#include <knownfolders.h>
#include <shlobj.h>

namespace Orvel::platform {

bool programDataFolder(std::filesystem::path& folder) {
  // Freed also when the call fails.
  UniqueCoTaskBuffer<wchar_t> path;
  if (FAILED(SHGetKnownFolderPath(FOLDERID_ProgramData, 0, nullptr, path.receive()))) return false;
  folder = path.get();
  return true;
}

}  // namespace Orvel::platform
