// Which kind of plugin a manifest's library is, and whether it meets the
// plugin API of its kind. Each operation loads the library through a proxy of
// its own and unloads it on return; load failures are logged by the proxy.
#include "tracking/PluginDiscovery.h"

#include "logging/StringConversionError.h"
#include "logging/StringUtil.h"
#include "platform/NarrowPath.h"
#include "tracking/CommonAPIProxy.h"
#include "tracking/MotionPlatformAPIProxy.h"
#include "tracking/PluginAPIProxy.h"

namespace Orvel::Tracking {

namespace {

// The plugin API version of this program, the newest that isAPIVersionSupported accepts.
std::string incompatibleVersionText() {
  constexpr std::uint64_t version = ORVEL_PLUGIN_API_VERSION_CURRENT;
  return formatString("Plugin DLL version is not compatible with Orvel plugin API ver %d.%d.%d.%d",
                      ORVEL_PLUGIN_API_VERSION_MAJOR(version), ORVEL_PLUGIN_API_VERSION_MINOR(version),
                      ORVEL_PLUGIN_API_VERSION_THIRD(version), ORVEL_PLUGIN_API_VERSION_FOURTH(version));
}

// The manifest's UTF-8 path as the loader takes it: UTF-16 on Windows (text
// that is not UTF-8 throws strutil::StringConversionError), the bytes elsewhere.
platform::NativePath libraryPath(const PluginManifest& manifest) {
  platform::NativePath path;
  std::uint32_t code = 0;
  if (!platform::utf8ToNativePath(manifest.path, path, code)) throw strutil::StringConversionError(code);
  return path;
}

bool referencesPluginOfType(const PluginManifest& manifest, std::int64_t type) {
  const CommonAPIProxy proxy(libraryPath(manifest));
  return proxy.isValid() && proxy.GetPluginType() == type;
}

}  // namespace

bool PluginDiscovery::referencesTrackingPlugin(const PluginManifest& manifest) const {
  return referencesPluginOfType(manifest, ORVEL_PLUGIN_TYPE_TRACKING);
}

bool PluginDiscovery::referencesMotionPlatformPlugin(const PluginManifest& manifest) const {
  return referencesPluginOfType(manifest, ORVEL_PLUGIN_TYPE_MOTION_PLATFORM);
}

// Every check runs, so one listing shows all that is wrong with the library.
bool PluginDiscovery::validateTrackingPlugin(const PluginManifest& manifest) const {
  const PluginAPIProxy proxy(libraryPath(manifest));
  bool valid = true;
  if (!proxy.isTrackingPlugin()) {
    reportError("DLL is not a tracker plugin");
    valid = false;
  }
  if (!proxy.isValid()) {
    reportError("DLL is not a valid plugin");
    valid = false;
  }
  if (!proxy.isAPIVersionSupported()) {
    reportError(incompatibleVersionText());
    valid = false;
  }
  return valid;
}

bool PluginDiscovery::validateMotionPlatformPlugin(const PluginManifest& manifest) const {
  const MotionPlatformAPIProxy proxy(libraryPath(manifest));
  bool valid = true;
  if (!proxy.isMotionPlatformPlugin()) {
    reportError("DLL is not a motion platform plugin");
    valid = false;
  }
  if (!proxy.isValid()) {
    reportError("DLL is not a valid motion platform plugin");
    valid = false;
  }
  if (!proxy.isAPIVersionSupported()) {
    reportError(incompatibleVersionText());
    valid = false;
  }
  return valid;
}

}  // namespace Orvel::Tracking
