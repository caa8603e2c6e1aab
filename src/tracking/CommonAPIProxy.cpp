#include "tracking/CommonAPIProxy.h"

namespace Orvel::Tracking {

CommonAPIProxy::CommonAPIProxy(const platform::NativePath& pluginPath) : runtimeDLL(RuntimeDLL::create(pluginPath)) {
  resolve(GetPluginType, "orvel_GetPluginType");
  resolve(GetPluginAPIVersion, "orvel_GetPluginAPIVersion");
  resolve(GetPluginName, "orvel_GetPluginName");
  resolve(GetPluginStatusDescription, "orvel_GetPluginStatusDescription");
  resolve(PluginInit, "orvel_PluginInit");
  resolve(PluginShutdown, "orvel_PluginShutdown");
}

CommonAPIProxy::~CommonAPIProxy() = default;

bool CommonAPIProxy::isValid() const {
  return GetPluginType != nullptr && GetPluginAPIVersion != nullptr && GetPluginName != nullptr &&
         GetPluginStatusDescription != nullptr && PluginInit != nullptr && PluginShutdown != nullptr;
}

bool CommonAPIProxy::isAPIVersionSupported() const {
  if (GetPluginAPIVersion == nullptr) return false;
  const std::uint64_t version = GetPluginAPIVersion();
  const unsigned major = ORVEL_PLUGIN_API_VERSION_MAJOR(version);
  const unsigned minor = ORVEL_PLUGIN_API_VERSION_MINOR(version);
  if (major == 2 || major == 3) return true;
  if (major == 4) return minor <= 16;
  return false;
}

}  // namespace Orvel::Tracking
