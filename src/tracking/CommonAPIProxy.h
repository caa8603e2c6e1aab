// The exports every plugin has, resolved from its library by name.
#pragma once
#include <memory>
#include <optional>
#include <string>

#include "OrvelPluginAPI.h"
#include "tracking/PluginExports.h"
#include "tracking/RuntimeDLL.h"

namespace Orvel::Tracking {

// Each pointer is null until resolved and stays null when its export is
// missing. Copies share the library, which is unloaded (and its folder taken
// off the DLL search path) when the last copy goes.
struct CommonAPIProxy {
  // Loads the plugin anew and resolves the six common exports (the rows of
  // the export table that every kind needs). Never throws
  // for a missing library or export (those are logged); isValid tells.
  explicit CommonAPIProxy(const platform::NativePath& pluginPath);
  virtual ~CommonAPIProxy();

  CommonAPIProxy(const CommonAPIProxy&) = default;
  CommonAPIProxy& operator=(const CommonAPIProxy&) = default;

  // All six common exports present.
  virtual bool isValid() const;

  // Majors 2 and 3 with any minor, and 4.0 to 4.16; false without the export.
  bool isAPIVersionSupported() const;
  // The rule of isAPIVersionSupported for a version value.
  static bool acceptsAPIVersion(std::uint64_t version);

  // orvel_GetPluginType is present and returns `type`.
  bool isPluginType(std::int64_t type) const;

  PFN_orvel_GetPluginType GetPluginType = nullptr;
  PFN_orvel_GetPluginAPIVersion GetPluginAPIVersion = nullptr;
  PFN_orvel_GetPluginName GetPluginName = nullptr;
  PFN_orvel_GetPluginStatusDescription GetPluginStatusDescription = nullptr;
  PFN_orvel_PluginInit PluginInit = nullptr;
  PFN_orvel_PluginShutdown PluginShutdown = nullptr;
  std::shared_ptr<RuntimeDLL> runtimeDLL;

 protected:
  // Resolves, in table order, the exports that a proxy adds: the common ones
  // when `kind` is empty, else those that `kind` needs beyond them.
  void bindExports(std::optional<PluginKind> kind);
  // Every export that `kind` needs is present (the common ones when `kind` is empty).
  bool bindsAll(std::optional<PluginKind> kind) const;
};

}  // namespace Orvel::Tracking
