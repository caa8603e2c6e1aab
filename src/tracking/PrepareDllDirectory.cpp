#include "tracking/PrepareDllDirectory.h"

namespace Orvel {

std::wstring prepareDllDirectory(const std::wstring& pluginPath, platform::DllDirectoryCookie& cookie) {
  const std::wstring expanded = platform::expandEnvironmentStrings(pluginPath);
  // A failure to add the folder is not reported: the load is attempted all the same.
  cookie = platform::addDllDirectory(platform::libraryFolder(expanded));
  platform::useDefaultDllDirectories();
  return expanded;
}

}  // namespace Orvel
