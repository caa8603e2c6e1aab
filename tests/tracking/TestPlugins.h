// Paths of the test plugins of this build.
#pragma once
#include <string>

#include "AsciiPath.h"

// The folder of the test plugins, as this build's executable names it.
inline std::string testPluginFolder() { return ORVEL_TEST_PLUGIN_DIR; }

// The narrow path of a test plugin variant ("tracking_ok" gives .../tracking_ok.so).
inline std::string testPluginPath(const std::string& variant) {
  return testPluginFolder() + ORVEL_TEST_PATH_SEPARATOR + variant + ORVEL_TEST_PLUGIN_SUFFIX;
}

// The same in native form; the folder is plain ASCII.
inline Orvel::platform::NativePath testPluginNativePath(const std::string& variant) {
  return asciiPath(testPluginPath(variant));
}
