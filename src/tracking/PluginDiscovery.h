// Finds the installed plugin manifests, reads them and checks the plugin
// library each one names. Every problem is handed as a text to the error
// handler; the operations throw only where noted. Runs on the calling thread
// and keeps no state between calls.
#pragma once
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "tracking/PluginExports.h"
#include "tracking/PluginManifest.h"

namespace Orvel::Tracking {

using ErrorHandler = std::function<void(const std::string& error)>;

class PluginDiscovery {
 public:
  // The default handler logs each text at Warning.
  PluginDiscovery();

  void setErrorHandler(ErrorHandler handler);

  // Reads one manifest file into `manifest` (pass a fresh record). True when
  // it was read and is compatible; on false the record is not to be used.
  bool readManifest(const std::filesystem::path& file, PluginManifest& manifest) const;

  // The manifest files of every vendor folder in
  // <program data>\Orvel\OrvelTracking\Plugins, in the file system's order.
  // Empty after any problem. An error other than not-found while testing
  // whether the plugins folder exists escapes as std::filesystem::filesystem_error.
  std::vector<std::filesystem::path> findManifestFiles() const;
  // The same search below the given program data folder.
  std::vector<std::filesystem::path> findManifestFiles(const std::filesystem::path& programDataFolder) const;
  // A plugins folder named as such, not a program data folder to search below.
  struct PluginsFolder {
    std::filesystem::path path;
  };
  // The same search in the given plugins folder itself (the log lines keep
  // the name of the search).
  std::vector<std::filesystem::path> findManifestFiles(const PluginsFolder& folder) const;

  // Kind of the manifest's plugin library: all common exports present and
  // orvel_GetPluginType returning 1 (tracking) or 2 (motion platform).
  // Nothing is reported.
  bool referencesTrackingPlugin(const PluginManifest& manifest) const;
  bool referencesMotionPlatformPlugin(const PluginManifest& manifest) const;

  // Runs every check of the kind on a proxy of that kind, in this order, and
  // reports one text per failed check: orvel_GetPluginType names the kind,
  // every export the kind needs in the export table is present, the API
  // version is accepted. True when all three pass.
  bool validate(const PluginManifest& manifest, PluginKind kind) const;
  // validate() of the kind.
  bool validateTrackingPlugin(const PluginManifest& manifest) const;
  bool validateMotionPlatformPlugin(const PluginManifest& manifest) const;

  // Hands one text to the error handler.
  void reportError(const std::string& error) const;

 private:
  ErrorHandler errorHandler_;
};

}  // namespace Orvel::Tracking
