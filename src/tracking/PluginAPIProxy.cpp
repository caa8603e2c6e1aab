#include "tracking/PluginAPIProxy.h"

namespace Orvel::Tracking {

PluginAPIProxy::PluginAPIProxy(const platform::NativePath& pluginPath) : CommonAPIProxy(pluginPath) {
  bindExports(PluginKind::Tracking);
}

bool PluginAPIProxy::isValid() const { return bindsAll(PluginKind::Tracking); }

bool PluginAPIProxy::isTrackingPlugin() const { return isPluginType(ORVEL_PLUGIN_TYPE_TRACKING); }

}  // namespace Orvel::Tracking
