// A manifest file as the listing and verify-installed find and read it.
#pragma once
#include <filesystem>
#include <string>
#include <vector>

#include "tracking/LibraryValidation.h"
#include "tracking/PluginDiscovery.h"
#include "tracking/PluginManifest.h"
#include "verifier/CommandLine.h"

namespace Orvel::Verifier {

// A manifest file, what was read from it and the problems reading it found.
struct ReadManifest {
  std::filesystem::path file;
  Tracking::PluginManifest manifest;
  bool read = false;
  std::vector<std::string> errors;
};

// The listing's heading of a manifest that could not be read.
inline constexpr char kUnreadManifestHeading[] = "Failed to read plugin manifest:";

// Reads every manifest file in the folder that the command line names, else
// in the plugins folder under the program data folder, in the file system's
// order; each with the problems collected in `errors` until then. Problems
// of the search itself stay in `errors` (the search then finds nothing).
std::vector<ReadManifest> readManifests(const Tracking::PluginDiscovery& discovery, const CommandLine& commandLine,
                                        std::vector<std::string>& errors);

// The explanation of a manifest that was read and of its library (see
// ListingExplanation). Without isolation the library is explained here; an
// isolated child explains it where it ran (its `why`).
std::vector<std::string> libraryExplanation(const ReadManifest& entry, const Tracking::LibraryValidation& library,
                                            bool isolated);

}  // namespace Orvel::Verifier
