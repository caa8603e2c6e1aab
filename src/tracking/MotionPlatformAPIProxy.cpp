#include "tracking/MotionPlatformAPIProxy.h"

namespace Orvel::Tracking {

namespace {
bool isMotionPlatformExport(const PluginExportEntry& entry) { return entry.isNeededBy(PluginKind::MotionPlatform); }
bool isMotionPlatformOnlyExport(const PluginExportEntry& entry) {
  return isMotionPlatformExport(entry) && !entry.isCommon();
}
}  // namespace

MotionPlatformAPIProxy::MotionPlatformAPIProxy(const platform::NativePath& pluginPath) : CommonAPIProxy(pluginPath) {
  bindExports(isMotionPlatformOnlyExport);
}

bool MotionPlatformAPIProxy::isValid() const { return bindsAll(isMotionPlatformExport); }

bool MotionPlatformAPIProxy::isMotionPlatformPlugin() const { return isPluginType(ORVEL_PLUGIN_TYPE_MOTION_PLATFORM); }

}  // namespace Orvel::Tracking
