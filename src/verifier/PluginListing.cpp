// The listing mode: every installed plugin with its kind and validity.
// Report lines go to standard output, the collected problems of a manifest to
// standard error; the discovery's log lines reach standard output in between.
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "isolation/IsolatedValidator.h"
#include "platform/NarrowPath.h"
#include "tracking/ListingExplanation.h"
#include "tracking/PluginDiscovery.h"
#include "tracking/ReportOutput.h"
#include "verifier/Modes.h"

namespace Orvel::Verifier {

namespace {

using Tracking::LibraryValidation;
using Tracking::ListingExplanation;
using Tracking::PluginDiscovery;
using Tracking::PluginManifest;

using Tracking::writeReport;

void printPlugin(const char* heading, const PluginManifest& manifest) {
  writeReport(std::string(heading) + "\n  Vendor:           " + manifest.vendorName +
              "\n  Product Name:     " + manifest.productName + "\n  Path:             " + manifest.path +
              "\n  GUID:             " + manifest.ID + "\n\n");
}

// What std::quoted writes (a double quote, each double quote and backslash
// escaped with a backslash, a double quote), built in one string: std::quoted
// formats every path through a string stream of its own.
std::string quoted(const std::string& text) {
  std::string result;
  result.reserve(text.size() + 2);
  result += '"';
  for (const char c : text) {
    if (c == '"' || c == '\\') result += '\\';
    result += c;
  }
  result += '"';
  return result;
}

void printErrors(std::vector<std::string>& errors) {
  for (const std::string& error : errors) {
    const std::string line = "ERROR: " + error + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
  }
  errors.clear();
}

// A manifest file, what was read from it and the problems reading it found.
struct ReadManifest {
  std::filesystem::path file;
  PluginManifest manifest;
  bool read = false;
  std::vector<std::string> errors;
};

// The manifest files in the folder that the command line names, else in the
// plugins folder under the program data folder.
std::vector<std::filesystem::path> findManifestFiles(const PluginDiscovery& discovery, const CommandLine& commandLine) {
  if (commandLine.pluginsFolder.empty()) return discovery.findManifestFiles();
  return discovery.findManifestFiles(PluginDiscovery::PluginsFolder{platform::nativePath(commandLine.pluginsFolder)});
}

// Reads every manifest file, each with the problems collected in `errors`
// until then.
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

// The heading of a valid and of an invalid plugin of a kind.
struct KindHeadings {
  const char* valid;
  const char* invalid;
};

KindHeadings headingsOf(LibraryValidation::Kind kind) {
  if (kind == LibraryValidation::Kind::MotionPlatform) {
    return {"Manifest references motion platform plugin:", "Manifest references invalid motion platfrom plugin:"};
  }
  return {"Manifest references tracking plugin:", "Manifest references invalid tracking plugin:"};
}

// The explanation lines of a manifest that was read. Without isolation the
// library is explained here; an isolated child explains it where it ran.
void explain(const ReadManifest& entry, const LibraryValidation& library, bool isolated) {
  std::vector<std::string> why;
  if (!library.failure.empty()) {
    why.push_back(ListingExplanation::ofFailure(library.failure));
  } else {
    why = isolated ? library.why : ListingExplanation::ofLibrary(entry.manifest.path, library);
  }
  std::string relative = ListingExplanation::ofRelativePath(entry.manifest.path, entry.file);
  if (!relative.empty()) why.push_back(std::move(relative));
  writeReport(ListingExplanation::lines(why));
}

}  // namespace

int listPlugins(const CommandLine& commandLine) {
  std::vector<std::string> errors;
  PluginDiscovery discovery;
  discovery.setErrorHandler([&errors](const std::string& error) { errors.push_back(error); });

  // Problems of the search itself stay collected and unprinted: a search that
  // reports one finds no manifest, so nothing below prints them. Every
  // manifest is read before the first library is validated, so that an
  // isolated child can be asked for all the libraries at once.
  std::vector<ReadManifest> manifests = readManifests(discovery, commandLine, errors);
  if (commandLine.explain) {
    for (const std::string& error : errors) writeReport(ListingExplanation::lines({ListingExplanation::ofSearch(error)}));
  }
  // A folder named on the command line that cannot be searched is an error
  // of the command: an empty listing would pass for an empty folder.
  if (!commandLine.pluginsFolder.empty() && !errors.empty()) {
    printErrors(errors);
    return 1;
  }
  std::optional<IsolatedValidator> isolated;
  if (commandLine.isolate) {
    isolated.emplace(commandLine.arguments, commandLine.deadlineMs());
    for (const ReadManifest& entry : manifests) {
      if (entry.read) isolated->ask(entry.manifest.path);
    }
  }

  for (ReadManifest& entry : manifests) {
    // As a path's stream operator writes it: quoted, with backslashes and
    // quotes escaped, in the narrow code page of the file functions.
    writeReport("\nFound manifest file: " + quoted(platform::narrowPath(entry.file)) + "\n");
    errors = std::move(entry.errors);
    if (!entry.read) {
      writeReport("Failed to read plugin manifest:\n");
      const std::string why = ListingExplanation::ofUnreadManifest(errors);
      printErrors(errors);
      if (commandLine.explain) writeReport(ListingExplanation::lines({why}));
      continue;
    }

    const PluginManifest& manifest = entry.manifest;
    const LibraryValidation library = isolated ? isolated->answer(discovery) : Tracking::validateLibrary(discovery, manifest);
    if (!library.failure.empty()) errors.push_back(library.failure);
    if (library.kind == LibraryValidation::Kind::Neither) {
      // A library that does not load, or is of neither kind: only the
      // binding's log lines say why. One that crashed, ended the process
      // or did not answer while it was asked says so.
      if (library.failure.empty()) errors.clear();
      printErrors(errors);
    } else {
      const KindHeadings headings = headingsOf(library.kind);
      if (library.valid) {
        printPlugin(headings.valid, manifest);
      } else {
        writeReport(std::string(headings.invalid) + "\n");
        printErrors(errors);
      }
    }
    if (commandLine.explain) explain(entry, library, isolated.has_value());
  }
  return 0;
}

}  // namespace Orvel::Verifier
