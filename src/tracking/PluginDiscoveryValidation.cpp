// Which kind of plugin a manifest's library is, and whether it meets the
// plugin API of its kind. Each operation loads the library through a proxy of
// its own and unloads it on return; load failures are logged by the proxy.
#include "tracking/PluginDiscovery.h"

#include <memory>

#include "logging/StringConversionError.h"
#include "platform/NarrowPath.h"
#include "tracking/ApiVersionText.h"
#include "tracking/CommonAPIProxy.h"
#include "tracking/MotionPlatformAPIProxy.h"
#include "tracking/PluginAPIProxy.h"

namespace Orvel::Tracking {

namespace {

// The plugin API version of this program, the newest that isAPIVersionSupported accepts.
const std::string& incompatibleVersionText() {
  static const std::string text = "Plugin DLL version is not compatible with Orvel plugin API ver " +
                                  apiVersionText(ORVEL_PLUGIN_API_VERSION_CURRENT);
  return text;
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
  return proxy.isValid() && proxy.isPluginType(type);
}

template <typename Proxy>
std::unique_ptr<CommonAPIProxy> loadProxy(const platform::NativePath& path) {
  return std::make_unique<Proxy>(path);
}

// What the validation of one kind loads and says.
struct KindChecks {
  PluginKind kind;
  std::int64_t type;              // orvel_GetPluginType's answer
  const char* notOfKind;          // the type check failed
  const char* missingExports;     // an export the kind needs is missing
  // The kind's proxy: it binds (and logs missing) the kind's exports.
  std::unique_ptr<CommonAPIProxy> (*load)(const platform::NativePath& path);
};

const KindChecks kKindChecks[] = {
    {PluginKind::Tracking, ORVEL_PLUGIN_TYPE_TRACKING, "DLL is not a tracker plugin", "DLL is not a valid plugin",
     &loadProxy<PluginAPIProxy>},
    {PluginKind::MotionPlatform, ORVEL_PLUGIN_TYPE_MOTION_PLATFORM, "DLL is not a motion platform plugin",
     "DLL is not a valid motion platform plugin", &loadProxy<MotionPlatformAPIProxy>},
};

const KindChecks& checksOf(PluginKind kind) {
  for (const KindChecks& checks : kKindChecks) {
    if (checks.kind == kind) return checks;
  }
  return kKindChecks[0];  // not reached: every kind has a row
}

}  // namespace

bool PluginDiscovery::referencesTrackingPlugin(const PluginManifest& manifest) const {
  return referencesPluginOfType(manifest, ORVEL_PLUGIN_TYPE_TRACKING);
}

bool PluginDiscovery::referencesMotionPlatformPlugin(const PluginManifest& manifest) const {
  return referencesPluginOfType(manifest, ORVEL_PLUGIN_TYPE_MOTION_PLATFORM);
}

// Every check runs, so one listing shows all that is wrong with the library.
bool PluginDiscovery::validate(const PluginManifest& manifest, PluginKind kind) const {
  const KindChecks& checks = checksOf(kind);
  const std::unique_ptr<CommonAPIProxy> proxy = checks.load(libraryPath(manifest));
  bool valid = true;
  const auto check = [&](bool passed, const std::string& failure) {
    if (passed) return;
    reportError(failure);
    valid = false;
  };
  check(proxy->isPluginType(checks.type), checks.notOfKind);
  check(proxy->isValid(), checks.missingExports);  // the kind's rows of the export table
  check(proxy->isAPIVersionSupported(), incompatibleVersionText());
  return valid;
}

bool PluginDiscovery::validateTrackingPlugin(const PluginManifest& manifest) const {
  return validate(manifest, PluginKind::Tracking);
}

bool PluginDiscovery::validateMotionPlatformPlugin(const PluginManifest& manifest) const {
  return validate(manifest, PluginKind::MotionPlatform);
}

}  // namespace Orvel::Tracking
