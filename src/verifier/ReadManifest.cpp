#include "verifier/ReadManifest.h"

#include "platform/NarrowPath.h"
#include "tracking/ListingExplanation.h"

namespace Orvel::Verifier {

namespace {

using Tracking::PluginDiscovery;

std::vector<std::filesystem::path> findManifestFiles(const PluginDiscovery& discovery, const CommandLine& commandLine) {
  if (commandLine.pluginsFolder.empty()) return discovery.findManifestFiles();
  return discovery.findManifestFiles(PluginDiscovery::PluginsFolder{platform::nativePath(commandLine.pluginsFolder)});
}

}  // namespace

std::vector<ReadManifest> readManifests(const PluginDiscovery& discovery, const CommandLine& commandLine,
                                        std::vector<std::string>& errors) {
  std::vector<ReadManifest> manifests;
  for (auto& file : findManifestFiles(discovery, commandLine)) {
    ReadManifest& entry = manifests.emplace_back();
    entry.file = std::move(file);
    entry.read = discovery.readManifest(entry.file, entry.manifest);
    entry.errors = std::move(errors);
    errors.clear();
  }
  return manifests;
}

std::vector<std::string> libraryExplanation(const ReadManifest& entry, const Tracking::LibraryValidation& library,
                                            bool isolated) {
  using Tracking::ListingExplanation;
  std::vector<std::string> why;
  if (!library.failure.empty()) {
    why.push_back(ListingExplanation::ofFailure(library.failure));
  } else {
    why = isolated ? library.why : ListingExplanation::ofLibrary(entry.manifest.path, library);
  }
  std::string relative = ListingExplanation::ofRelativePath(entry.manifest.path, entry.file);
  if (!relative.empty()) why.push_back(std::move(relative));
  return why;
}

}  // namespace Orvel::Verifier
