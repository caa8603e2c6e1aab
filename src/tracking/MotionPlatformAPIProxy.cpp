#include "tracking/MotionPlatformAPIProxy.h"

namespace Orvel::Tracking {

MotionPlatformAPIProxy::MotionPlatformAPIProxy(const platform::NativePath& pluginPath) : CommonAPIProxy(pluginPath) {
  bindExports(PluginKind::MotionPlatform);
}

bool MotionPlatformAPIProxy::isValid() const { return bindsAll(PluginKind::MotionPlatform); }

bool MotionPlatformAPIProxy::isMotionPlatformPlugin() const { return isPluginType(ORVEL_PLUGIN_TYPE_MOTION_PLATFORM); }

}  // namespace Orvel::Tracking
