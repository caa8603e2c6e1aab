// Puts a plugin's folder on the process's DLL search path, so that libraries
// lying beside the plugin are found when it is loaded.
#pragma once
#include <string>

#include "platform/SharedLibrary.h"

namespace Orvel {

// Expands %NAME% references in the plugin path, adds the folder of the
// expanded path to the DLL search path (the cookie stays null when that fails,
// as for an empty or relative folder) and restricts the default search to the
// application folder, the system folder and the added folders, for the rest of
// the process. Returns the expanded path, which is the one to load.
// The caller removes the cookie again (platform::removeDllDirectory).
platform::NativePath prepareDllDirectory(const platform::NativePath& pluginPath, platform::DllDirectoryCookie& cookie);

}  // namespace Orvel
