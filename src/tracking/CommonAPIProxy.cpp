#include "tracking/CommonAPIProxy.h"

namespace Orvel::Tracking {

namespace {
bool isCommonExport(const PluginExportEntry& entry) { return entry.isCommon(); }
}  // namespace

CommonAPIProxy::CommonAPIProxy(const platform::NativePath& pluginPath) : runtimeDLL(RuntimeDLL::create(pluginPath)) {
  bindExports(isCommonExport);
}

CommonAPIProxy::~CommonAPIProxy() = default;

bool CommonAPIProxy::isValid() const { return bindsAll(isCommonExport); }

void CommonAPIProxy::bindExports(ExportFilter picks) {
  for (const PluginExportEntry& entry : pluginExports()) {
    if (picks(entry)) entry.bind(*this, runtimeDLL->library().loadFunctionAddress(entry.name));
  }
}

bool CommonAPIProxy::bindsAll(ExportFilter picks) const {
  for (const PluginExportEntry& entry : pluginExports()) {
    if (picks(entry) && !entry.isBound(*this)) return false;
  }
  return true;
}

bool CommonAPIProxy::isPluginType(std::int64_t type) const {
  return GetPluginType != nullptr && GetPluginType() == type;
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
