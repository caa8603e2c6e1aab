#include "tracking/CommonAPIProxy.h"

namespace Orvel::Tracking {

namespace {
// The rows that a proxy resolves itself: the base the common ones, a derived
// proxy those of its kind that the base has not resolved.
bool isAddedBy(const PluginExportEntry& entry, std::optional<PluginKind> kind) {
  return kind ? entry.isNeededBy(*kind) && !entry.isCommon() : entry.isCommon();
}

bool isNeededBy(const PluginExportEntry& entry, std::optional<PluginKind> kind) {
  return kind ? entry.isNeededBy(*kind) : entry.isCommon();
}
}  // namespace

CommonAPIProxy::CommonAPIProxy(const platform::NativePath& pluginPath) : runtimeDLL(RuntimeDLL::create(pluginPath)) {
  bindExports(std::nullopt);
}

CommonAPIProxy::~CommonAPIProxy() = default;

bool CommonAPIProxy::isValid() const { return bindsAll(std::nullopt); }

void CommonAPIProxy::bindExports(std::optional<PluginKind> kind) {
  for (const PluginExportEntry& entry : pluginExports()) {
    if (isAddedBy(entry, kind)) entry.bind(*this, runtimeDLL->library().loadFunctionAddress(entry.name));
  }
}

bool CommonAPIProxy::bindsAll(std::optional<PluginKind> kind) const {
  for (const PluginExportEntry& entry : pluginExports()) {
    if (isNeededBy(entry, kind) && !entry.isBound(*this)) return false;
  }
  return true;
}

bool CommonAPIProxy::isPluginType(std::int64_t type) const {
  return GetPluginType != nullptr && GetPluginType() == type;
}

bool CommonAPIProxy::isAPIVersionSupported() const {
  return GetPluginAPIVersion != nullptr && acceptsAPIVersion(GetPluginAPIVersion());
}

bool CommonAPIProxy::acceptsAPIVersion(std::uint64_t version) {
  const unsigned major = ORVEL_PLUGIN_API_VERSION_MAJOR(version);
  const unsigned minor = ORVEL_PLUGIN_API_VERSION_MINOR(version);
  if (major == 2 || major == 3) return true;
  if (major == 4) return minor <= 16;
  return false;
}

}  // namespace Orvel::Tracking
