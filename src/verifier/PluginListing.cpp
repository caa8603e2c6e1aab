// The listing mode: every installed plugin with its kind and validity.
// Report lines go to standard output, the collected problems of a manifest to
// standard error; the discovery's log lines reach standard output in between.
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "platform/NarrowPath.h"
#include "tracking/PluginDiscovery.h"
#include "verifier/LibraryValidation.h"
#include "verifier/Modes.h"

namespace Orvel::Verifier {

namespace {

using Tracking::PluginDiscovery;
using Tracking::PluginManifest;

void printPlugin(const char* heading, const PluginManifest& manifest) {
  std::cout << heading << std::endl;
  std::cout << "  Vendor:           " << manifest.vendorName << std::endl;
  std::cout << "  Product Name:     " << manifest.productName << std::endl;
  std::cout << "  Path:             " << manifest.path << std::endl;
  std::cout << "  GUID:             " << manifest.ID << std::endl;
  std::cout << std::endl;
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
  for (const std::string& error : errors) std::cerr << "ERROR: " << error << std::endl;
  errors.clear();
}

}  // namespace

int listPlugins(const CommandLine& commandLine) {
  std::vector<std::string> errors;
  PluginDiscovery discovery;
  discovery.setErrorHandler([&errors](const std::string& error) { errors.push_back(error); });
  std::optional<IsolatedValidator> isolated;
  if (commandLine.isolate) isolated.emplace(commandLine.arguments, commandLine.deadlineMs());

  // Problems of the search itself stay collected and unprinted: a search that
  // reports one finds no manifest, so nothing below prints them.
  for (const auto& file : discovery.findManifestFiles()) {
    std::cout << std::endl;
    // As a path's stream operator writes it: quoted, with backslashes and
    // quotes escaped, in the narrow code page of the file functions.
    std::cout << "Found manifest file: " << quoted(platform::narrowPath(file)) << std::endl;

    PluginManifest manifest;
    if (!discovery.readManifest(file, manifest)) {
      std::cout << "Failed to read plugin manifest:" << std::endl;
      printErrors(errors);
      continue;
    }

    const LibraryValidation library =
        isolated ? isolated->validate(discovery, manifest) : validateLibrary(discovery, manifest);
    if (!library.failure.empty()) errors.push_back(library.failure);
    switch (library.kind) {
      case LibraryValidation::Kind::Tracking:
        if (library.valid) {
          printPlugin("Manifest references tracking plugin:", manifest);
        } else {
          std::cout << "Manifest references invalid tracking plugin:" << std::endl;
          printErrors(errors);
        }
        break;
      case LibraryValidation::Kind::MotionPlatform:
        if (library.valid) {
          printPlugin("Manifest references motion platform plugin:", manifest);
        } else {
          std::cout << "Manifest references invalid motion platfrom plugin:" << std::endl;
          printErrors(errors);
        }
        break;
      case LibraryValidation::Kind::Neither:
        // A library that does not load, or is of neither kind: only the
        // binding's log lines say why. One that crashed, ended the process
        // or did not answer while it was asked says so.
        if (library.failure.empty()) errors.clear();
        printErrors(errors);
        break;
    }
  }
  return 0;
}

}  // namespace Orvel::Verifier
