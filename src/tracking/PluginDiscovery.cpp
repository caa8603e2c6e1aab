#include "tracking/PluginDiscovery.h"

#include "logging/Log.h"
#include "logging/StringUtil.h"
#include "platform/KnownFolders.h"

namespace fs = std::filesystem;

namespace Orvel::Tracking {

namespace {

const fs::path kManifestExtension(".manifest");

// The native form of a path is UTF-16 on Windows, converted strictly, so that
// a name that is not valid Unicode throws. Elsewhere it is bytes, which are
// written as they are: a file name need not be UTF-8 there.
[[maybe_unused]] std::string nativeToUtf8(const std::wstring& native) { return strutil::wideToUtf8(native); }
[[maybe_unused]] std::string nativeToUtf8(const std::string& native) { return native; }

std::string pathToUtf8(const fs::path& path) { return nativeToUtf8(path.native()); }

}  // namespace

PluginDiscovery::PluginDiscovery()
    : errorHandler_([](const std::string& error) { LOG_WARNING("%s", error.c_str()); }) {}

void PluginDiscovery::setErrorHandler(ErrorHandler handler) { errorHandler_ = std::move(handler); }

void PluginDiscovery::reportError(const std::string& error) const {
  if (errorHandler_) errorHandler_(error);
}

std::vector<fs::path> PluginDiscovery::findManifestFiles() const {
  fs::path programData;
  if (!platform::programDataFolder(programData)) {
    LOG_ERROR("The path of the program data folder is not available");
    return {};
  }
  return findManifestFiles(programData);
}

std::vector<fs::path> PluginDiscovery::findManifestFiles(const fs::path& programDataFolder) const {
  return findManifestFiles(PluginsFolder{programDataFolder / "Orvel" / "OrvelTracking" / "Plugins"});
}

std::vector<fs::path> PluginDiscovery::findManifestFiles(const PluginsFolder& folder) const {
  const fs::path& pluginsFolder = folder.path;
  LOG_INFO("Plugin manifest directory: %s", pathToUtf8(pluginsFolder).c_str());

  // Outside the guard on purpose: only not-found is an answer here; any other
  // failure of the test (access denied, a link loop) reaches the caller.
  if (!fs::exists(pluginsFolder)) {
    reportError(
        formatString("Error when searching manifest files: Path '%s' does not exist", pathToUtf8(pluginsFolder).c_str()));
    return {};
  }

  std::vector<fs::path> manifests;
  try {
    // Exactly two levels: vendor folders, then the manifest files in them.
    for (const fs::directory_entry& vendor : fs::directory_iterator(pluginsFolder)) {
      LOG_INFO("Plugin vendor directory: %s", pathToUtf8(vendor.path()).c_str());
      if (!fs::is_directory(vendor.path())) continue;  // follows links: a linked folder counts
      for (const fs::directory_entry& file : fs::directory_iterator(vendor.path())) {
        if (!fs::is_regular_file(file.path()) || file.path().extension() != kManifestExtension) continue;
        LOG_INFO("Found plugin manifest file: %s", pathToUtf8(file.path()).c_str());
        manifests.push_back(file.path());
      }
    }
  } catch (const std::exception& e) {
    // A partial list would silently hide plugins: report and return nothing.
    reportError(formatString("Error when searching manifest files: %s", e.what()));
    return {};
  }
  return manifests;
}

}  // namespace Orvel::Tracking
