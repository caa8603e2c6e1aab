// The listing mode: every installed plugin with its kind and validity.
// Report lines go to standard output, the collected problems of a manifest to
// standard error; the discovery's log lines reach standard output in between.
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "isolation/IsolatedValidator.h"
#include "logging/ProgressLine.h"
#include "platform/NarrowPath.h"
#include "tracking/ListingExplanation.h"
#include "tracking/PluginDiscovery.h"
#include "tracking/ReportOutput.h"
#include "verifier/KindHeadings.h"
#include "verifier/Modes.h"
#include "verifier/ReadManifest.h"

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
    ProgressLine::instance().write(stderr, line);
    std::fflush(stderr);
  }
  errors.clear();
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
    const std::size_t number = static_cast<std::size_t>(&entry - manifests.data()) + 1;
    ProgressLine::instance().show(0, "manifest " + std::to_string(number) + " of " + std::to_string(manifests.size()));
    // As a path's stream operator writes it: quoted, with backslashes and
    // quotes escaped, in the narrow code page of the file functions.
    writeReport("\nFound manifest file: " + quoted(platform::narrowPath(entry.file)) + "\n");
    errors = std::move(entry.errors);
    if (!entry.read) {
      writeReport(std::string(kUnreadManifestHeading) + "\n");
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
    if (commandLine.explain) {
      writeReport(ListingExplanation::lines(libraryExplanation(entry, library, isolated.has_value())));
    }
  }
  return 0;
}

}  // namespace Orvel::Verifier
