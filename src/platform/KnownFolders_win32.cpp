// Implementation here must contain only Win32 specific code.
#include "platform/KnownFolders.h"

#include "platform/windows_include.h"

#include <knownfolders.h>
#include <shlobj.h>

namespace Orvel::platform {

bool programDataFolder(std::filesystem::path& folder) {
  PWSTR path = nullptr;
  const HRESULT result = SHGetKnownFolderPath(FOLDERID_ProgramData, 0, nullptr, &path);
  if (FAILED(result)) {
    CoTaskMemFree(path);
    return false;
  }
  folder = path;
  CoTaskMemFree(path);
  return true;
}

}  // namespace Orvel::platform
