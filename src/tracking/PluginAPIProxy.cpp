#include "tracking/PluginAPIProxy.h"

namespace Orvel::Tracking {

PluginAPIProxy::PluginAPIProxy(const platform::NativePath& pluginPath) : CommonAPIProxy(pluginPath) {
  resolve(TrackerStart, "orvel_TrackerStart");
  resolve(TrackerStop, "orvel_TrackerStop");
  resolve(GetHMDPose, "orvel_GetHMDPose");
}

bool PluginAPIProxy::isValid() const {
  return CommonAPIProxy::isValid() && TrackerStart != nullptr && TrackerStop != nullptr && GetHMDPose != nullptr;
}

bool PluginAPIProxy::isTrackingPlugin() const {
  return GetPluginType != nullptr && GetPluginType() == ORVEL_PLUGIN_TYPE_TRACKING;
}

}  // namespace Orvel::Tracking
