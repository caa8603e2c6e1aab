// A process's mirror of the property server's state: one property per known
// key, initialized from the server's definitions, updated by the server under
// the writer rules, and publishing each change that this process's own code
// makes (exactly one PropertyUpdateToServer per change, none for changes that
// came from the server). Reconnects by itself after a lost connection.
//
// Threads: the caller's; the IPC client's message handler thread, which runs
// the message handlers (in direct mode it applies definitions and updates);
// the IPC client's receiver thread, which reports a lost connection; and the
// initialization thread of initializeAsync or of a reconnection.
//
// Locks: the client mutex guards the property map, the flags, the queues, the
// subscriptions and the initialization thread. It is never held while a
// property's initialize or setStringValue runs (they take the property's own
// mutex), nor while connecting. connectionStateChanged(false) is emitted with
// the client mutex held, so its listeners must not call back into the client;
// connectionStateChanged(true) is emitted without it. Listeners hear the
// states in the order they happened, one call at a time: a loss reported
// while "true" is being delivered waits for that call to end (so a listener
// of "true" must not wait for the "false" after it). propertyChanged
// listeners run on whichever thread changed the property, with that property
// locked.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "ipc/Deadline.h"
#include "ipc/MessageHandler.h"
#include "property/Event.h"
#include "property/IPropertyClient.h"
#include "property/PropertyCatalogue.h"
#include "property/PropertyKeyIndex.h"
#include "property/SourceAwareProperty.h"
#include "state/PropertyDefinitionsView.h"
#include "state/PropertyUpdateToClient.h"
#include "state/PropertyUpdateToClientView.h"

namespace Orvel::State {

class NotifyOnStopClient;

class PropertyClient : public IPropertyClient, private SourceAwareProperty::Observer {
 public:
  // A client built from the process's catalogue.
  static std::unique_ptr<PropertyClient> create(const std::string& clientName, ClientRole clientRole,
                                                const std::string& pipeName, bool queued);

  // queued: keep the server's definitions and updates for
  // processQueuedMessages instead of applying them on the IPC handler thread.
  // Nothing connects yet.
  PropertyClient(const PropertyCatalogue& catalogue, const std::string& clientName, ClientRole clientRole,
                 const std::string& pipeName, bool queued)
      : PropertyClient(&catalogue, clientName, clientRole, pipeName, queued) {}
  // Stops initialization, disconnects and joins every thread. Never throws.
  ~PropertyClient() override;
  PropertyClient(const PropertyClient&) = delete;
  PropertyClient& operator=(const PropertyClient&) = delete;

  std::vector<std::string> getPropertyKeys() const override;
  std::shared_ptr<Property> getPropertyRaw(const std::string& key) override;
  EventConnection onPropertyChanged(PropertyListener listener, bool notifyExisting) override;
  ClientRole getClientRole() const override { return clientRole_; }
  bool initialize() override;
  bool initializeOnce(std::int64_t attemptTimeoutMs) override;
  // The same, all of it within timeLimitMs: the attempts (each of at most
  // attemptTimeoutMs, and none after the time limit), their handshakes, and
  // the wait for the definitions, across connections lost meanwhile. When
  // the time runs out the client gives the server up (as stopInitialization
  // does) and closes the connection. A handshake under way when the time
  // runs out may take its own time limit (1000 ms) to end. It succeeds only
  // with the definitions of the connection it ends on, and the client never
  // connects again after that connection is lost: what it sends then fails
  // rather than going out on a connection whose server has not taken this
  // client's role yet.
  bool initializeOnce(std::int64_t attemptTimeoutMs, std::int64_t timeLimitMs);
  EventConnection initializeAsync(ConnectionListener listener) override;
  bool isInitialized() const override;
  void stopInitialization() override;
  void processQueuedMessages() override;
  void resetPersistentProperties() override;
  void notifyComponentIsReady(bool ready) override;
  void sendHeartbeat() override;

  // Changes made by this process's own code that could not be sent to the
  // server. A caller that must know whether its write reached the server
  // compares the count before and after the write.
  std::uint64_t getFailedPublishCount() const { return failedPublishes_.load(); }

  // Every send of this client then waits at most limitMs for the server to
  // read it; when the time runs out the client gives the server up (as
  // stopInitialization does) and closes the connection, and the send fails.
  // 0, as made, waits without limit. Set before initializing.
  void setSendTimeLimit(std::int64_t limitMs) { sendTimeLimitMs_ = limitMs; }

 private:
  // catalogue null: the program's own table.
  PropertyClient(const PropertyCatalogue* catalogue, const std::string& clientName, ClientRole clientRole,
                 const std::string& pipeName, bool queued);
  // Claims the one initialization; logs and refuses when one has started.
  bool checkInitializationIsNotStarted();
  // timeLimitMs: 0 for none, else the bound of the whole initialization.
  bool tryInitialization(std::int64_t maxAttempts, std::int64_t attemptTimeoutMs, std::int64_t timeLimitMs = 0);
  // deadline: null for none, else no attempt starts after it and none lasts beyond it.
  bool waitForConnection(std::int64_t maxAttempts, std::int64_t attemptTimeoutMs, const Deadline* deadline);
  // Stops as stopInitialization does and closes the connection: every wait
  // on the server ends. Any thread, a message handler included.
  void abandonServer();
  // Sends under the send time limit.
  template <typename T>
  bool send(const T& message);
  void startInitializationThread();
  // Emits connectionStateChanged(true) without the client mutex, then clears
  // connectedCallRunning_.
  void emitConnected();
  // Receiver thread: the connection has ended.
  void onConnectionLost();

  void onClientRoleRequest();
  void onPropertyDefinitions(const Messages::PropertyDefinitionsView& message);
  void onPropertyUpdate(const Messages::PropertyUpdateToClientView& message);
  void processDefinitions(const Messages::PropertyDefinitionsView& message);
  void updatePropertiesAfterNewConnection(const Messages::PropertyDefinitionsView& message);
  void processOnPropertyUpdate(std::string_view key, const std::string& value, ClientRole writer);
  // Every property's source changes, once the client has its definitions.
  void onSourceChanged(const Property& property, ClientRole writer, bool local) override;
  void publishPropertyValueChangeToServer(const Property& property);

  // One known key: its property, and whether this client observes its
  // source changes. A property is observed once, across reconnections, so a
  // change is never published twice.
  struct KnownProperty {
    std::shared_ptr<SourceAwareProperty> property;
    std::string_view key;  // the property's own key, for lookups that touch nothing else
    bool observed = false;
    // The last definitions message that defined it: a later row of the same
    // key in that message is ignored.
    std::uint64_t definedIn = 0;
  };
  // Marks the known properties that are not observed yet as observed and
  // returns them. Call with mutex_ held; observe them after releasing it, as
  // setObserver takes each property's mutex.
  std::vector<SourceAwareProperty*> takeUnobserved();
  // Makes the catalogue's properties unless made already. Call with mutex_
  // held. Every access to properties_ comes after it.
  void makeProperties();
  // The property of key, or null. Call with mutex_ held.
  std::shared_ptr<SourceAwareProperty> findProperty(std::string_view key) const;
  // The same as the entry, or null.
  KnownProperty* findKnown(std::string_view key);
  std::string_view keyAt(std::size_t position) const;
  // Adds a property whose key is not known yet and returns its entry. Call
  // with mutex_ held.
  KnownProperty& addProperty(std::shared_ptr<SourceAwareProperty> property);
  // The same without entering it into index_.
  KnownProperty& addKnown(std::shared_ptr<SourceAwareProperty> property);

  const ClientRole clientRole_;
  const bool queued_;
  bool stopRequested_ = false;
  mutable std::mutex mutex_;
  std::condition_variable condition_;
  std::shared_ptr<NotifyOnStopClient> ipcClient_;
  // The catalogue the properties are made from, or null for the program's
  // own table (a client made by create()). The table's properties are made
  // on first need, not by the constructor: at the latest right after the
  // client has answered the server's role request, while the server
  // prepares its definitions, so that a client about to connect does not
  // first spend the time of hundreds of properties before it even asks.
  // (The table is never destroyed; the properties of a catalogue are made by
  // the constructor, while it surely exists.)
  const PropertyCatalogue* catalogue_;
  bool propertiesMade_ = false;
  std::size_t fromBlock_ = 0;  // the first entries of properties_, made in one block
  // Every property held, found by key through index_. Kept in the order they
  // were made (the catalogue's, then unknown keys as they come); what is
  // handed out in key order is sorted when asked for.
  std::vector<KnownProperty> properties_;
  PropertyKeyIndex index_;
  std::uint64_t definitionsApplied_ = 0;   // definitions messages applied so far
  std::uint64_t definitionsProcessed_ = 0;  // ... and processed to the end
  bool initialized_ = false;  // never reset
  Event<void(const Property&)> propertyChanged_;
  Event<void(bool)> connectionStateChanged_;
  std::thread initializationThread_;
  bool initializationInProgress_ = false;
  // connectionStateChanged(true) is being emitted; a lost connection's
  // false waits for its end.
  bool connectedCallRunning_ = false;
  std::vector<MessageHandler> messageHandlers_;
  // The payloads of definitions messages, read again when they are applied.
  std::deque<std::vector<std::uint8_t>> queuedDefinitions_;
  std::deque<Messages::PropertyUpdateToClient> queuedUpdates_;
  std::int64_t lastHeartbeatTime_ = 0;  // monotonic nanoseconds
  bool heartbeatSent_ = false;
  std::atomic<std::uint64_t> failedPublishes_{0};
  std::int64_t sendTimeLimitMs_ = 0;
  bool reconnects_ = true;  // a lost connection is made again in the background
};

}  // namespace Orvel::State
