// Why the listing shows a manifest as it does: the texts that --explain=1
// prints, each on a line of its own after "  Why: ". The wording lives here
// alone, so that every mode that explains a plugin says it the same way.
#pragma once
#include <filesystem>
#include <string>
#include <vector>

#include "tracking/LibraryValidation.h"

namespace Orvel::Tracking {

class ListingExplanation {
 public:
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
};

}  // namespace Orvel::Tracking
