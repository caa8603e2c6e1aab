#include "tracking/LibraryValidation.h"

#include "platform/SharedLibrary.h"

namespace Orvel::Tracking {

LibraryValidation validateLibrary(const PluginDiscovery& discovery, const PluginManifest& manifest,
                                  const std::function<void(LibraryValidation::Kind)>& detected) {
  using Kind = LibraryValidation::Kind;
  platform::keepMathLibraryLoaded();
  LibraryValidation result;
  if (discovery.referencesTrackingPlugin(manifest)) {
    result.kind = Kind::Tracking;
  } else if (discovery.referencesMotionPlatformPlugin(manifest)) {
    result.kind = Kind::MotionPlatform;
  }
  if (detected) detected(result.kind);
  if (result.kind != Kind::Neither) {
    result.valid =
        discovery.validate(manifest, result.kind == Kind::Tracking ? PluginKind::Tracking : PluginKind::MotionPlatform);
  }
  return result;
}

LibraryValidation validateTrackingLibrary(const PluginDiscovery& discovery, const PluginManifest& manifest,
                                          const std::function<void(LibraryValidation::Kind)>& detected) {
  platform::keepMathLibraryLoaded();
  LibraryValidation result;
  result.kind = LibraryValidation::Kind::Tracking;
  if (detected) detected(result.kind);
  result.valid = discovery.validate(manifest, PluginKind::Tracking);
  return result;
}

}  // namespace Orvel::Tracking
