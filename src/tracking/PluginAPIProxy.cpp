#include "tracking/PluginAPIProxy.h"

namespace Orvel::Tracking {

namespace {
bool isTrackingExport(const PluginExportEntry& entry) { return entry.isNeededBy(PluginKind::Tracking); }
bool isTrackingOnlyExport(const PluginExportEntry& entry) { return isTrackingExport(entry) && !entry.isCommon(); }
}  // namespace

PluginAPIProxy::PluginAPIProxy(const platform::NativePath& pluginPath) : CommonAPIProxy(pluginPath) {
  bindExports(isTrackingOnlyExport);
}

bool PluginAPIProxy::isValid() const { return bindsAll(isTrackingExport); }

bool PluginAPIProxy::isTrackingPlugin() const { return isPluginType(ORVEL_PLUGIN_TYPE_TRACKING); }

}  // namespace Orvel::Tracking
