// A process's connection to the property server: initialization, the
// server-bound notifications and the queued mode's message pump.
#pragma once
#include <cstdint>
#include <functional>

#include "property/IPropertySource.h"

namespace Orvel::State {

class IPropertyClient : public IPropertySource {
 public:
  using ConnectionListener = std::function<void(bool connected)>;

  ~IPropertyClient() override = default;

  // Connects and waits for the server's definitions, retrying without limit.
  // Only one of the three initialize operations may run, and only once.
  virtual bool initialize() = 0;
  // One connection attempt of attemptTimeoutMs, then the wait for the definitions.
  virtual bool initializeOnce(std::int64_t attemptTimeoutMs) = 0;
  // initialize() on a background thread; listener hears true when it
  // succeeds and false whenever the connection is lost, one call at a time
  // and in the order the states happened. The returned handle is empty when
  // initialization had already been started.
  virtual EventConnection initializeAsync(ConnectionListener listener) = 0;
  virtual bool isInitialized() const = 0;
  // Ends every running or later connection attempt and wait.
  virtual void stopInitialization() = 0;
  // Queued mode: applies the definitions and updates received so far, on the
  // calling thread.
  virtual void processQueuedMessages() = 0;
  virtual void resetPersistentProperties() = 0;
  virtual void notifyComponentIsReady(bool ready) = 0;
  // At most one heartbeat per second; the first after a connection loss goes at once.
  virtual void sendHeartbeat() = 0;
};

}  // namespace Orvel::State
