#include "verifier/RuntimeConnection.h"

#include <cstdint>

#include "ipc/PropertiesServicePipe.h"
#include "platform/ProcessorPin.h"
#include "platform/ThreadHeaps.h"
#include "tracking/ReportOutput.h"

namespace Orvel::Verifier {

namespace {

const char* const kClientName = "OrvelPluginVerifier";
constexpr std::int64_t kConnectionAttemptTimeoutMs = 1000;
// Everything before the definitions are in (the attempt, its handshake, the
// wait for the definitions) ends within this time, whatever the server does;
// and each message sent, a write above all, must be read by the server
// within kSendTimeLimitMs. Together with the client's own ending they keep a
// server that stalls from holding the verifier.
constexpr std::int64_t kConnectionTimeLimitMs = 4000;
constexpr std::int64_t kSendTimeLimitMs = 2000;

}  // namespace

std::unique_ptr<State::PropertyClient> connectToRuntime(bool shareHeap) {
  // Until the definitions are in, this thread and the client's threads only
  // wait for one another in turn: kept on one processor (the client's
  // threads stay on the processor of the thread that connects), each wake is
  // a cheap one on that processor. The pin ends before a plugin is verified,
  // so that the plugin's threads may run anywhere.
  const platform::ProcessorPin pin;
  // For the same reason the client's threads need no heaps of their own.
  // Not when a plugin is verified in this process: its threads keep theirs,
  // as they do in a verification on its own (the setting lasts for the whole
  // process).
  if (shareHeap) platform::shareOneHeapAmongThreads();
  std::unique_ptr<State::PropertyClient> client =
      State::PropertyClient::create(kClientName, kRuntimeClientRole, IPC::kPropertiesServicePipe, false);
  client->setSendTimeLimit(kSendTimeLimitMs);
  if (!client->initializeOnce(kConnectionAttemptTimeoutMs, kConnectionTimeLimitMs)) {
    Tracking::writeReport("[Error] Unable to connect OrvelProcessServer.\n");
    return nullptr;
  }
  return client;
}

}  // namespace Orvel::Verifier
