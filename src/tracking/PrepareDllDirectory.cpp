#include "tracking/PrepareDllDirectory.h"

namespace Orvel {

platform::NativePath prepareDllDirectory(const platform::NativePath& pluginPath, platform::DllDirectoryCookie& cookie) {
  const platform::NativePath expanded = platform::expandEnvironmentStrings(pluginPath);
  // A failure to add the folder is not reported: the load is attempted all the same.
  cookie = platform::addDllDirectory(platform::libraryFolder(expanded));
  platform::useDefaultDllDirectories();
  return expanded;
}

}  // namespace Orvel
