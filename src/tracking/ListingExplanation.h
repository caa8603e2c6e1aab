// Why the listing shows a manifest as it does, and why a verification run
// failed: the texts that --explain=1 prints, each on a line of its own after
// "  Why: ". The wording lives here alone, so that every mode that explains a
// plugin says it the same way.
#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/NarrowPath.h"
#include "tracking/LibraryValidation.h"
#include "tracking/PluginExports.h"

namespace Orvel::Tracking {

class ListingExplanation {
 public:
  // How the explanations of a library that did not load, and of one of
  // neither kind, begin: also the whole reason where a mode says only that.
  static constexpr char kNotLoaded[] = "the library could not be loaded";
  static constexpr char kNeitherKind[] = "the library is neither a tracking nor a motion platform plugin";

  // What begins every explanation line.
  static constexpr const char* kLinePrefix = "  Why: ";

  // The lines of `texts`, each with the prefix and a line end.
  static std::string lines(const std::vector<std::string>& texts);

  // A problem of the search for manifests, which the listing does not print.
  static std::string ofSearch(const std::string& problem);

  // A manifest that could not be read, with the problems found.
  static std::string ofUnreadManifest(const std::vector<std::string>& problems);

  // A library path that depends on the current folder: a relative path is
  // loaded from there (a bare file name through the system's library search),
  // never from the manifest's folder. Empty for an absolute path.
  static std::string ofRelativePath(const std::string& libraryPath, const std::filesystem::path& manifestFile);

  // A validation that a crash, an early end or a missed deadline cut short.
  static std::string ofFailure(const std::string& failure);

  // The library at `libraryPath` (UTF-8, %NAME% not yet expanded) as the
  // validation found it: why it was not loaded, why it is of neither kind,
  // or its kind and API version. Loads the library once more, without
  // logging, so it must run where the validation ran.
  static std::vector<std::string> ofLibrary(const std::string& libraryPath, const LibraryValidation& validation);

  // A library that did not load: the path it was loaded from (%NAME%
  // expanded) and the system loader's own text.
  static std::string ofLoadFailure(const platform::NativePath& expandedPath, const std::string& loaderText);

  // A library path typed without a folder: the system's library search looks
  // for it, never in the current folder; the line gives the full path in the
  // current folder. Empty for a path that names a folder.
  static std::string ofBareName(const platform::NativePath& expandedPath);

  // Exports that a run of `kind` needs and the library lacks (`missing`, out
  // of `needed`): the other kind's plugin, with the mode that verifies it,
  // when orvel_GetPluginType (`type`, when exported) says so; else what the
  // library lacks and how the header exports a function.
  static std::string ofMissingExports(PluginKind kind, std::optional<std::int64_t> type,
                                      const std::vector<std::string>& missing, std::size_t needed);

  // Why the runtime refuses a plugin of this API version; empty when it
  // accepts it.
  static std::string ofApiVersion(std::uint64_t version);

  // A call that failed: the status it returned and the plugin's description
  // of it, when it has one.
  static std::string ofStatus(std::int64_t status, const std::optional<std::string>& description);
};

}  // namespace Orvel::Tracking
