// The set mode: makes a tracking source the runtime's active one by writing
// "OrvelTracking.ActivePlugin" through the runtime's property server. A
// plugin path must first pass every check of the tracking verification.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "isolation/IsolatedValidator.h"
#include "platform/NarrowPath.h"

#include "property/PropertyClient.h"
#include "property/PropertyKeys.h"
#include "tracking/LibraryValidation.h"
#include "tracking/PluginDiscovery.h"
#include "tracking/ReportOutput.h"
#include "verifier/Modes.h"
#include "verifier/RuntimeConnection.h"

namespace Orvel::Verifier {

namespace {

// Writes the value and tells whether the server now holds it: true when it
// held it already (nothing is sent) or when the change was sent; false when
// the write was refused (the server does not define the key, or does not let
// this client's role write it) or could not be sent.
bool writeActivePlugin(State::PropertyClient& client, const std::string& value) {
  const std::shared_ptr<State::Property> property =
      client.getPropertyRaw(std::string(State::PropertyKeys::OrvelTracking_ActivePlugin));
  // Held across the comparison and the write, so that no update from the
  // server can come between them.
  std::lock_guard<std::recursive_mutex> lock(property->getMutex());
  const bool alreadyHeld = property->isInitialized() && property->getStringValue() == value;
  const std::uint64_t failedBefore = client.getFailedPublishCount();
  // The change, if any, is published to the server on this thread.
  const bool changed = property->setStringValue(kRuntimeClientRole, value);
  if (!changed) return alreadyHeld;
  return client.getFailedPublishCount() == failedBefore;
}

}  // namespace

int refuseWhatRuntimeRefuses(const CommandLine& commandLine) {
  std::vector<std::string> problems;
  Tracking::PluginDiscovery discovery;
  discovery.setErrorHandler([&problems](const std::string& problem) { problems.push_back(problem); });
  // The validation reads the path as a manifest's: UTF-8.
  Tracking::PluginManifest manifest;
  manifest.path = std::filesystem::path(platform::nativePath(commandLine.pluginPath)).u8string();
  Tracking::LibraryValidation validation;
  if (commandLine.isolate) {
    // A child that serves validations as set mode asks for them.
    IsolatedValidator validator({"--mode=set", "--list"}, commandLine.deadlineMs());
    validator.ask(manifest.path);
    validation = validator.answer(discovery);
  } else {
    validation = Tracking::validateTrackingLibrary(discovery, manifest);
  }
  if (!validation.failure.empty()) problems.push_back(validation.failure);
  if (validation.valid && problems.empty()) return 0;
  for (const std::string& problem : problems) Tracking::writeReport("[Error] " + problem + "\n");
  return -1;
}

int selectActivePlugin(const std::string& plugin, const std::function<int()>& verify) {
  // A plugin named by its path is verified before the write.
  const bool verifies = !plugin.empty() && plugin != kOpenVR;
  // A plugin is verified in this process: its threads keep heaps of their own.
  const std::unique_ptr<State::PropertyClient> client = connectToRuntime(!verifies);
  if (!client) return -1;
  std::string value = plugin;
  if (verifies) {
    const int failedChecks = verify();
    if (failedChecks != 0) return failedChecks;
    value = kPluginPrefix + plugin;
  }
  // A write the server never took leaves the runtime's tracking source as it
  // was: that is a failure, not a success.
  if (!writeActivePlugin(*client, value)) {
    Tracking::writeReport("[Error] Unable to set OrvelTracking.ActivePlugin.\n");
    return -1;
  }
  return 0;
}

}  // namespace Orvel::Verifier
