// The set mode: makes a tracking source the runtime's active one by writing
// "OrvelTracking.ActivePlugin" through the runtime's property server. A
// plugin path must first pass every check of the tracking verification.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "ipc/PropertiesServicePipe.h"
#include "platform/ProcessorPin.h"
#include "platform/ThreadHeaps.h"
#include "property/PropertyClient.h"
#include "property/PropertyKeys.h"
#include "state/ClientRole.h"
#include "tracking/ReportOutput.h"
#include "verifier/Modes.h"

namespace Orvel::Verifier {

namespace {

const char* const kClientName = "OrvelPluginVerifier";
constexpr State::ClientRole kClientRole = State::ClientRole::TRACKING;
const char* const kOpenVR = "openvr";
const char* const kPluginPrefix = "plugin:";
constexpr std::int64_t kConnectionAttemptTimeoutMs = 1000;
// Everything before the definitions are in (the attempt, its handshake, the
// wait for the definitions) ends within this time, whatever the server does;
// and each message sent, the write above all, must be read by the server
// within kSendTimeLimitMs. Together with the client's own ending they keep a
// server that stalls from holding set mode.
constexpr std::int64_t kConnectionTimeLimitMs = 4000;
constexpr std::int64_t kSendTimeLimitMs = 2000;

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
  const bool changed = property->setStringValue(kClientRole, value);
  if (!changed) return alreadyHeld;
  return client.getFailedPublishCount() == failedBefore;
}

}  // namespace

int selectActivePlugin(const std::string& plugin, const std::function<int()>& verify) {
  // A plugin named by its path is verified before the write.
  const bool verifies = !plugin.empty() && plugin != kOpenVR;
  std::unique_ptr<State::PropertyClient> client;
  {
    // Until the definitions are in, this thread and the client's threads
    // only wait for one another in turn: kept on one processor (the client's
    // threads stay on the processor of the thread that connects), each wake
    // is a cheap one on that processor. The pin ends before a plugin is
    // verified, so that the plugin's threads may run anywhere.
    const platform::ProcessorPin pin;
    // For the same reason the client's threads need no heaps of their own.
    // Not when a plugin is verified: its threads keep theirs, as they do in a
    // verification on its own (the setting lasts for the whole process).
    if (!verifies) platform::shareOneHeapAmongThreads();
    client = State::PropertyClient::create(kClientName, kClientRole, IPC::kPropertiesServicePipe, false);
    client->setSendTimeLimit(kSendTimeLimitMs);
    if (!client->initializeOnce(kConnectionAttemptTimeoutMs, kConnectionTimeLimitMs)) {
      Tracking::writeReport("[Error] Unable to connect OrvelProcessServer.\n");
      return -1;
    }
  }
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
