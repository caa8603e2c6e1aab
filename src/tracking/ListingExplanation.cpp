#include "tracking/ListingExplanation.h"

#include <system_error>

#include "OrvelPluginAPI.h"
#include "platform/NarrowPath.h"
#include "platform/SharedLibrary.h"
#include "tracking/ApiVersionText.h"
#include "tracking/CommonAPIProxy.h"
#include "tracking/PluginExports.h"
#include "tracking/PrepareDllDirectory.h"

namespace Orvel::Tracking {

namespace {

std::string joined(const std::vector<std::string>& texts, const char* separator) {
  std::string result;
  for (const std::string& text : texts) {
    if (!result.empty()) result += separator;
    result += text;
  }
  return result;
}

const char* kindText(LibraryValidation::Kind kind) {
  return kind == LibraryValidation::Kind::MotionPlatform ? "a motion platform plugin" : "a tracking plugin";
}

// The library loaded once more, its folder on the DLL search path as the
// validation had it; nothing is logged.
class SilentLoad {
 public:
  explicit SilentLoad(const platform::NativePath& path)
      : expanded_(prepareDllDirectory(path, cookie_)), handle_(platform::loadLibrary(expanded_)) {
    if (handle_ == nullptr) error_ = platform::lastLibraryErrorText();
  }
  ~SilentLoad() {
    if (cookie_ != nullptr) platform::removeDllDirectory(cookie_);
    if (handle_ != nullptr) platform::freeLibrary(handle_);
  }
  SilentLoad(const SilentLoad&) = delete;
  SilentLoad& operator=(const SilentLoad&) = delete;

  const platform::NativePath& expanded() const { return expanded_; }
  bool loaded() const { return handle_ != nullptr; }
  const std::string& error() const { return error_; }
  void* find(const char* name) const { return platform::findSymbol(handle_, name); }

 private:
  platform::DllDirectoryCookie cookie_ = nullptr;
  platform::NativePath expanded_;
  platform::LibraryHandle handle_ = nullptr;
  std::string error_;
};

// The exports that a kind needs (every kind's, when `kind` is Neither) and the library lacks.
std::vector<std::string> missingExports(const SilentLoad& library, LibraryValidation::Kind kind) {
  std::vector<std::string> missing;
  for (const PluginExportEntry& entry : pluginExports()) {
    const bool needed = kind == LibraryValidation::Kind::Neither ? entry.isCommon()
                        : entry.isNeededBy(kind == LibraryValidation::Kind::Tracking ? PluginKind::Tracking
                                                                                      : PluginKind::MotionPlatform);
    if (needed && library.find(entry.name) == nullptr) missing.emplace_back(entry.name);
  }
  return missing;
}

}  // namespace

std::string ListingExplanation::lines(const std::vector<std::string>& texts) {
  std::string result;
  for (const std::string& text : texts) result += kLinePrefix + text + "\n";
  return result;
}

std::string ListingExplanation::ofSearch(const std::string& problem) {
  return "the search for manifests found none: " + problem;
}

std::string ListingExplanation::ofUnreadManifest(const std::vector<std::string>& problems) {
  return "the manifest was not read: " + joined(problems, "; ");
}

std::string ListingExplanation::ofRelativePath(const std::string& libraryPath,
                                               const std::filesystem::path& manifestFile) {
  platform::NativePath native;
  std::uint32_t code = 0;
  if (!platform::utf8ToNativePath(libraryPath, native, code)) return {};
  const std::filesystem::path expanded(platform::expandEnvironmentStrings(native));
  if (expanded.empty() || expanded.is_absolute()) return {};
  std::error_code error;
  const std::filesystem::path current = std::filesystem::current_path(error);
  const std::string folder = platform::narrowPath(manifestFile.parent_path());
  if (platform::libraryFolder(expanded.native()).empty()) {
    return "the path " + platform::narrowPath(expanded) +
           " names no folder: the system's library search finds it, not the manifest's folder " + folder;
  }
  return "the path " + platform::narrowPath(expanded) + " is relative: it was resolved against the current folder " +
         platform::narrowPath(current) + ", not the manifest's folder " + folder;
}

std::string ListingExplanation::ofFailure(const std::string& failure) {
  return "the library's validation did not finish: " + failure;
}

std::vector<std::string> ListingExplanation::ofLibrary(const std::string& libraryPath,
                                                       const LibraryValidation& validation) {
  platform::NativePath native;
  std::uint32_t code = 0;
  if (!platform::utf8ToNativePath(libraryPath, native, code)) {
    return {"the library path is not valid UTF-8 text: " + libraryPath};
  }
  const SilentLoad library(native);
  if (!library.loaded()) {
    return {ofLoadFailure(library.expanded(), library.error())};
  }
  using Kind = LibraryValidation::Kind;
  const auto type = reinterpret_cast<PFN_orvel_GetPluginType>(library.find("orvel_GetPluginType"));
  const auto version = reinterpret_cast<PFN_orvel_GetPluginAPIVersion>(library.find("orvel_GetPluginAPIVersion"));
  if (validation.kind == Kind::Neither) {
    const std::vector<std::string> missing = missingExports(library, Kind::Neither);
    if (!missing.empty()) {
      return {std::string(kNeitherKind) + ": it lacks " + joined(missing, ", ")};
    }
    return {std::string(kNeitherKind) + ": orvel_GetPluginType returned " +
            std::to_string(type()) + "; 1 is a tracking plugin, 2 a motion platform plugin"};
  }
  std::string described = std::string(kindText(validation.kind)) + ", API version " + apiVersionText(version());
  if (validation.valid) return {"listed: " + described};
  const std::vector<std::string> missing = missingExports(library, validation.kind);
  if (!missing.empty()) return {"not valid: " + described + ", lacking " + joined(missing, ", ")};
  const std::string refused = ofApiVersion(version());
  if (!refused.empty()) return {"not valid: " + std::string(kindText(validation.kind)) + ", " + refused};
  return {"not valid: " + described};
}

std::string ListingExplanation::ofLoadFailure(const platform::NativePath& expandedPath, const std::string& loaderText) {
  return std::string(kNotLoaded) + " from " + platform::narrowPath(expandedPath) + ": " + loaderText;
}

std::string ListingExplanation::ofBareName(const platform::NativePath& expandedPath) {
  if (expandedPath.empty() || !platform::libraryFolder(expandedPath).empty()) return {};
  const std::string path = platform::narrowPath(expandedPath);
  // The full path: "./name" loads from the current folder on Linux, but not
  // on Windows, where the plugin's loader searches only the default folders
  // for any path that is not absolute.
  std::error_code error;
  const std::filesystem::path full = std::filesystem::absolute(std::filesystem::path(expandedPath), error);
  const std::string suggestion = error ? "the full path" : "its full path " + platform::narrowPath(full);
  return "the path " + path + " names no folder: the system's library search looks for it, never in the current " +
         "folder; write " + suggestion + " to load it from there";
}

std::string ListingExplanation::ofMissingExports(PluginKind kind, std::optional<std::int64_t> type,
                                                 const std::vector<std::string>& missing, std::size_t needed) {
  const PluginKind other = kind == PluginKind::Tracking ? PluginKind::MotionPlatform : PluginKind::Tracking;
  const std::int64_t otherType =
      other == PluginKind::Tracking ? ORVEL_PLUGIN_TYPE_TRACKING : ORVEL_PLUGIN_TYPE_MOTION_PLATFORM;
  if (type && *type == otherType) {
    const bool tracking = other == PluginKind::Tracking;
    return "orvel_GetPluginType returned " + std::to_string(*type) + ": " +
           kindText(tracking ? LibraryValidation::Kind::Tracking : LibraryValidation::Kind::MotionPlatform) +
           "; use --mode=" + (tracking ? "verify" : "verify-motion-platform-plugin");
  }
  const std::string how = "ORVEL_PLUGIN_EXPORT from OrvelPluginAPI.h";
  if (missing.size() >= needed) {
    return "the library exports none of the plugin functions: define them with " + how +
           ", which exports each by its C name (__declspec(dllexport) on Windows, default symbol visibility "
           "elsewhere)";
  }
  return "the library does not export " + joined(missing, ", ") + ": define each plugin function with " + how;
}

std::string ListingExplanation::ofApiVersion(std::uint64_t version) {
  if (CommonAPIProxy::acceptsAPIVersion(version)) return {};
  const bool older = ORVEL_PLUGIN_API_VERSION_MAJOR(version) < 2;
  const std::uint64_t limit = older ? ORVEL_PLUGIN_API_VERSION(2, 0, 0, 0) : ORVEL_PLUGIN_API_VERSION_CURRENT;
  return "API version " + apiVersionText(version) + (older ? " is older than " : " is newer than ") +
         apiVersionText(limit) + "; the runtime refuses this plugin";
}

std::string ListingExplanation::ofStatus(std::int64_t status, const std::optional<std::string>& description) {
  std::string text = "returned " + std::to_string(status);
  if (description && !description->empty()) text += " (" + *description + ")";
  return text;
}

}  // namespace Orvel::Tracking
