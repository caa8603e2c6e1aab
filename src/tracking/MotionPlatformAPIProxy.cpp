#include "tracking/MotionPlatformAPIProxy.h"

namespace Orvel::Tracking {

MotionPlatformAPIProxy::MotionPlatformAPIProxy(const platform::NativePath& pluginPath) : CommonAPIProxy(pluginPath) {
  resolve(UpdatePose, "orvel_UpdatePose");
}

bool MotionPlatformAPIProxy::isValid() const { return CommonAPIProxy::isValid() && UpdatePose != nullptr; }

bool MotionPlatformAPIProxy::isMotionPlatformPlugin() const {
  return GetPluginType != nullptr && GetPluginType() == ORVEL_PLUGIN_TYPE_MOTION_PLATFORM;
}

}  // namespace Orvel::Tracking
