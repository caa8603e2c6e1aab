#include "property/PropertyClient.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <functional>
#include <limits>
#include <optional>
#include <utility>

#include "ipc/Alarm.h"
#include "ipc/Client.h"
#include "logging/Log.h"
#include "property/PropertyBlock.h"
#include "state/ComponentHeartbeat.h"
#include "state/NotifyPropertyClientStatus.h"
#include "state/PropertyUpdateToServer.h"
#include "state/RequestClientRole.h"
#include "state/RequestResetPersistentProperties.h"
#include "state/ResponseClientRole.h"

namespace Orvel::State {

// The IPC client of a property client: also reports the end of a connection.
class NotifyOnStopClient : public IPC::Client {
 public:
  NotifyOnStopClient(std::string pipeName, std::string clientName, std::function<void()> onStopped)
      : IPC::Client(std::move(pipeName), std::move(clientName), true), onStopped_(std::move(onStopped)) {}
  // The receiver thread calls onReceiverStopped: stop it while this class
  // still exists.
  ~NotifyOnStopClient() override { disconnect(); }

 protected:
  void onReceiverStopped() override {
    IPC::Client::onReceiverStopped();
    onStopped_();
  }

 private:
  const std::function<void()> onStopped_;
};

namespace {

constexpr std::int64_t kUnlimitedAttempts = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kAttemptTimeoutMs = 50;
constexpr std::int64_t kHandshakeTimeoutMs = 1000;
constexpr std::int64_t kHeartbeatIntervalNs = 1'000'000'000;
constexpr std::int64_t kThrottleIntervalNs = 2'000'000'000;
// Sends wait without limit and flush.
constexpr std::int64_t kSendTimeoutMs = 0;

std::int64_t monotonicNanoseconds() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

std::unique_ptr<PropertyClient> PropertyClient::create(const std::string& clientName, ClientRole clientRole,
                                                       const std::string& pipeName, bool queued) {
  // The catalogue is its table unless a registration has added to it: the
  // table's properties are made without the catalogue's map, and later.
  const PropertyCatalogue* catalogue = catalogueIsItsTable() ? nullptr : &getPropertyDefinitions();
  return std::unique_ptr<PropertyClient>(new PropertyClient(catalogue, clientName, clientRole, pipeName, queued));
}

PropertyClient::PropertyClient(const PropertyCatalogue* catalogue, const std::string& clientName,
                               ClientRole clientRole, const std::string& pipeName, bool queued)
    : clientRole_(clientRole),
      queued_(queued),
      ipcClient_(std::make_shared<NotifyOnStopClient>(pipeName, clientName, [this] { onConnectionLost(); })),
      catalogue_(catalogue) {
  if (catalogue_ != nullptr) {
    std::lock_guard<std::mutex> lock(mutex_);
    makeProperties();
  }
  messageHandlers_.push_back(ipcClient_->getParser<Messages::RequestClientRole>()->addHandler(
      [this](const Messages::RequestClientRole&) { onClientRoleRequest(); }));
  messageHandlers_.push_back(ipcClient_->getParser<Messages::PropertyDefinitionsView>()->addHandler(
      [this](const Messages::PropertyDefinitionsView& message) { onPropertyDefinitions(message); }));
  // Updates are read in place: a value is first copied when it is handed to
  // its property (as a string: the property's setter takes one).
  messageHandlers_.push_back(ipcClient_->getParser<Messages::PropertyUpdateToClientView>()->addHandler(
      [this](const Messages::PropertyUpdateToClientView& message) { onPropertyUpdate(message); }));
}

PropertyClient::~PropertyClient() {
  try {
    std::thread initialization;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ipcClient_->cancelConnectionAttempts();
      stopRequested_ = true;
      initialization = std::move(initializationThread_);
    }
    condition_.notify_all();
    if (initialization.joinable()) initialization.join();
    ipcClient_->disconnect();
    std::vector<SourceAwareProperty*> observed;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      queuedDefinitions_.clear();
      queuedUpdates_.clear();
      // The catalogue's properties share one block: when the client's own
      // entries are all that refer to it, none of them outlives the client
      // and none needs to be told.
      const bool blockHeldOutside = fromBlock_ > 0 && properties_.front().property.use_count() > static_cast<long>(fromBlock_);
      observed.reserve(blockHeldOutside ? properties_.size() : properties_.size() - fromBlock_);
      for (std::size_t i = blockHeldOutside ? 0 : fromBlock_; i < properties_.size(); ++i) {
        if (properties_[i].observed) observed.push_back(properties_[i].property.get());
      }
    }
    messageHandlers_.clear();
    // Waits for a call into this client running on another thread; a
    // property its user still holds never calls it again.
    for (SourceAwareProperty* property : observed) property->setObserver(nullptr);
  } catch (const std::exception& error) {
    LOG_ERROR("Unhandled exception '%s", error.what());
  } catch (...) {
    LOG_ERROR("Unhandled exception '%s", "unknown");
  }
}

void PropertyClient::makeProperties() {
  if (propertiesMade_) return;
  propertiesMade_ = true;
  const std::shared_ptr<PropertyBlock> block = catalogue_ != nullptr
                                                  ? PropertyBlock::create(clientRole_, *catalogue_)
                                                  : PropertyBlock::create(clientRole_, catalogueTable());
  properties_.reserve(block->size());
  for (std::size_t i = 0; i < block->size(); ++i) addKnown(PropertyBlock::at(block, i));
  fromBlock_ = block->size();
  index_.rebuild(properties_.size(), [this](std::size_t i) { return keyAt(i); });
}

std::vector<std::string> PropertyClient::getPropertyKeys() const {
  std::lock_guard<std::mutex> lock(mutex_);
  const_cast<PropertyClient*>(this)->makeProperties();
  std::vector<std::string> keys;
  keys.reserve(properties_.size());
  for (const KnownProperty& known : properties_) keys.emplace_back(known.key);
  std::sort(keys.begin(), keys.end());
  return keys;
}

std::shared_ptr<SourceAwareProperty> PropertyClient::findProperty(std::string_view key) const {
  const KnownProperty* known = const_cast<PropertyClient*>(this)->findKnown(key);
  return known != nullptr ? known->property : nullptr;
}

PropertyClient::KnownProperty* PropertyClient::findKnown(std::string_view key) {
  makeProperties();
  const std::size_t position = index_.find(key, [this](std::size_t i) { return keyAt(i); });
  return position != PropertyKeyIndex::npos ? &properties_[position] : nullptr;
}

std::string_view PropertyClient::keyAt(std::size_t position) const { return properties_[position].key; }

PropertyClient::KnownProperty& PropertyClient::addKnown(std::shared_ptr<SourceAwareProperty> property) {
  const std::string_view key = property->keyView();
  return properties_.emplace_back(KnownProperty{std::move(property), key, false, 0});
}

PropertyClient::KnownProperty& PropertyClient::addProperty(std::shared_ptr<SourceAwareProperty> property) {
  KnownProperty& known = addKnown(std::move(property));
  index_.add(properties_.size() - 1, [this](std::size_t i) { return keyAt(i); });
  return known;
}

std::shared_ptr<Property> PropertyClient::getPropertyRaw(const std::string& key) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (std::shared_ptr<SourceAwareProperty> found = findProperty(key)) return found;
  if (initialized_) {
    LOG_THROTTLED(LogLevels::Error, kThrottleIntervalNs, "Trying to access property with key '%s' that does not exist",
                  key.c_str());
    VERIFY(false, "Trying to access uninitialized property");
  }
  auto placeholder = std::make_shared<SourceAwareProperty>(key);
  addProperty(placeholder);
  return placeholder;
}

EventConnection PropertyClient::onPropertyChanged(PropertyListener listener, bool notifyExisting) {
  if (notifyExisting) {
    // Called without the client mutex: the listener may lock the property,
    // and a thread holding a property's lock may be waiting for this mutex.
    std::vector<std::shared_ptr<SourceAwareProperty>> existing;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      makeProperties();
      existing.reserve(properties_.size());
      for (const KnownProperty& known : properties_) existing.push_back(known.property);
    }
    std::sort(existing.begin(), existing.end(),
              [](const auto& a, const auto& b) { return a->keyView() < b->keyView(); });
    for (const auto& property : existing) listener(*property);
  }
  return propertyChanged_.connect(std::move(listener));
}

bool PropertyClient::checkInitializationIsNotStarted() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (initializationInProgress_ || initializationThread_.joinable()) {
    LOG_ERROR("It is not allowed initialize PropertyClient multiple times");
    return false;
  }
  // Claimed here, so that two callers at the same moment cannot both start.
  initializationInProgress_ = true;
  return true;
}

bool PropertyClient::initialize() {
  if (!checkInitializationIsNotStarted()) return false;
  return tryInitialization(kUnlimitedAttempts, kAttemptTimeoutMs);
}

bool PropertyClient::initializeOnce(std::int64_t attemptTimeoutMs) {
  if (!checkInitializationIsNotStarted()) return false;
  return tryInitialization(1, attemptTimeoutMs);
}

bool PropertyClient::initializeOnce(std::int64_t attemptTimeoutMs, std::int64_t timeLimitMs) {
  if (!checkInitializationIsNotStarted()) return false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    reconnects_ = false;
  }
  return tryInitialization(1, attemptTimeoutMs, timeLimitMs);
}

EventConnection PropertyClient::initializeAsync(ConnectionListener listener) {
  if (!checkInitializationIsNotStarted()) return EventConnection();
  EventConnection connection = connectionStateChanged_.connect(std::move(listener));
  std::lock_guard<std::mutex> lock(mutex_);
  startInitializationThread();
  return connection;
}

void PropertyClient::startInitializationThread() {
  initializationThread_ = std::thread([this] { tryInitialization(kUnlimitedAttempts, kAttemptTimeoutMs); });
}

bool PropertyClient::isInitialized() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return initialized_;
}

void PropertyClient::stopInitialization() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ipcClient_->cancelConnectionAttempts();
    stopRequested_ = true;
  }
  condition_.notify_all();
}

void PropertyClient::abandonServer() {
  stopInitialization();
  ipcClient_->closeConnection();
}

template <typename T>
bool PropertyClient::send(const T& message) {
  if (sendTimeLimitMs_ <= 0) return ipcClient_->sendMessage(message, kSendTimeoutMs);
  // The send waits until the server has read the message; closing the
  // connection is what ends that wait on a server that reads no more.
  IPC::Alarm alarm(std::chrono::milliseconds(sendTimeLimitMs_), [this] { abandonServer(); });
  const bool sent = ipcClient_->sendMessage(message, kSendTimeoutMs);
  if (alarm.cancel()) {
    LOG_WARNING("Property Server did not read a message within %lld ms, connection closed",
                static_cast<long long>(sendTimeLimitMs_));
  }
  return sent;
}

bool PropertyClient::tryInitialization(std::int64_t maxAttempts, std::int64_t attemptTimeoutMs,
                                       std::int64_t timeLimitMs) {
  std::optional<Deadline> deadline;
  if (timeLimitMs > 0) deadline.emplace(timeLimitMs);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    initializationInProgress_ = true;
  }
  for (;;) {
    // Definitions of a connection lost before are still applied on its
    // handler thread: counted before this connection, once that has ended.
    if (deadline) ipcClient_->disconnect();
    std::uint64_t definedBefore = 0;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      definedBefore = definitionsProcessed_;
    }
    if (!waitForConnection(maxAttempts, attemptTimeoutMs, deadline ? &*deadline : nullptr)) break;
    std::unique_lock<std::mutex> lock(mutex_);
    // A client initialized before, reconnecting, does not wait, unless the
    // initialization is bounded: that one ends with the definitions of the
    // connection it ends on, so that nothing is sent before the server has
    // taken this client's role on it.
    const auto defined = [&] { return deadline ? definitionsProcessed_ != definedBefore : initialized_; };
    const auto settled = [&] { return !ipcClient_->isConnected() || defined() || stopRequested_; };
    if (!deadline) {
      condition_.wait(lock, settled);
    } else if (!condition_.wait_for(lock, std::chrono::milliseconds(std::max<std::int64_t>(deadline->remainingMs(), 0)),
                                    settled)) {
      LOG_WARNING("No property definitions from Property Server within %lld ms", static_cast<long long>(timeLimitMs));
      lock.unlock();
      abandonServer();
      break;
    }
    // Initialized, and still connected: the loss of a connection that ends
    // before this point (even with the definitions in) is retried below, as
    // its report found this initialization in progress and started no other.
    if (defined() && (ipcClient_->isConnected() || stopRequested_)) {
      LOG_INFO("Connection to Property Server established and property definitions initialized");
      // Finished before the lock is released: a connection lost from here on
      // finds no initialization in progress and starts a new one.
      initializationInProgress_ = false;
      connectedCallRunning_ = true;
      lock.unlock();
      emitConnected();
      return true;
    }
    if (stopRequested_) {
      LOG_INFO("Property Client initialization canceled");
      break;
    }
    LOG_WARNING("Lost connection to Property Server while making handshake");
  }
  std::lock_guard<std::mutex> lock(mutex_);
  initializationInProgress_ = false;
  return false;
}

void PropertyClient::emitConnected() {
  const auto finished = [this] {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      connectedCallRunning_ = false;
    }
    condition_.notify_all();
  };
  try {
    connectionStateChanged_.emit(true);
  } catch (...) {
    finished();
    throw;
  }
  finished();
}

bool PropertyClient::waitForConnection(std::int64_t maxAttempts, std::int64_t attemptTimeoutMs,
                                       const Deadline* deadline) {
  LOG_INFO("Trying to connect to PropertyServer");
  for (std::int64_t attempt = 0; attempt < maxAttempts; ++attempt) {
    std::int64_t timeoutMs = attemptTimeoutMs;
    if (deadline != nullptr) {
      if (deadline->hasPassed()) {
        LOG_WARNING("No connection to Property Server within the time limit");
        return false;
      }
      timeoutMs = std::min(timeoutMs, deadline->remainingMs());
    }
    if (ipcClient_->connect(timeoutMs, kHandshakeTimeoutMs)) return true;
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopRequested_) {
      LOG_INFO("Initialization stop noticed before establishing connection to Property Server");
      return false;
    }
  }
  return false;
}

void PropertyClient::onConnectionLost() {
  LOG_INFO("Connection lost to Property Server");
  std::thread finished;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    // A connection can end while its "true" is still being delivered (on the
    // thread that initialized): "false" comes after it, never before or
    // beside it, so that listeners end up with the state the client is in.
    condition_.wait(lock, [this] { return !connectedCallRunning_; });
    heartbeatSent_ = false;
    if (!initializationInProgress_ && !stopRequested_ && reconnects_) {
      finished = std::move(initializationThread_);
      startInitializationThread();
    }
    connectionStateChanged_.emit(false);
  }
  condition_.notify_all();
  if (finished.joinable()) finished.join();
}

void PropertyClient::onClientRoleRequest() {
  Messages::ResponseClientRole response;
  response.role = clientRole_;
  if (!send(response)) LOG_WARNING("Failed to send client role to property server");
  // The server prepares its definitions next: the properties they are
  // applied to are made meanwhile, on this thread, which has nothing else to
  // do until they come.
  std::lock_guard<std::mutex> lock(mutex_);
  makeProperties();
}

void PropertyClient::onPropertyDefinitions(const Messages::PropertyDefinitionsView& message) {
  if (queued_) {
    std::lock_guard<std::mutex> lock(mutex_);
    queuedDefinitions_.emplace_back(message.payload, message.payload + message.size);
    return;
  }
  processDefinitions(message);
}

void PropertyClient::processDefinitions(const Messages::PropertyDefinitionsView& message) {
  updatePropertiesAfterNewConnection(message);
  {
    std::unique_lock<std::mutex> lock(mutex_);
    // Properties added while the others are being observed are observed in
    // the next round; the client counts as initialized once none is left.
    for (std::vector<SourceAwareProperty*> unobserved = takeUnobserved(); !unobserved.empty();
         unobserved = takeUnobserved()) {
      lock.unlock();
      for (SourceAwareProperty* property : unobserved) property->setObserver(this);
      lock.lock();
    }
    initialized_ = true;
    ++definitionsProcessed_;
  }
  condition_.notify_all();
}

std::vector<SourceAwareProperty*> PropertyClient::takeUnobserved() {
  makeProperties();
  std::vector<SourceAwareProperty*> unobserved;
  for (KnownProperty& known : properties_) {
    if (known.observed) continue;
    known.observed = true;
    if (unobserved.empty()) unobserved.reserve(properties_.size());  // room for them all at once
    unobserved.push_back(known.property.get());
  }
  return unobserved;
}

void PropertyClient::updatePropertiesAfterNewConnection(const Messages::PropertyDefinitionsView& message) {
  // Each row's property is found (or added) first, all under one hold of the
  // client mutex; the properties are initialized afterwards, without it, as
  // initialize takes each property's own mutex. Both passes read the rows in
  // the same order: targets holds one entry per row.
  struct Target {
    SourceAwareProperty* property;  // held by properties_, which never shrinks; null for a repeated key
    bool created;
  };
  std::vector<Target> targets;
  targets.reserve(message.rows.size());
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::uint64_t applying = ++definitionsApplied_;
    for (const Messages::PropertyDefinitionsView::Row& row : message.rows) {
      KnownProperty* known = findKnown(row.mapKey);
      bool created = false;
      if (known == nullptr) {
        const std::string key(row.mapKey);
        LOG_ERROR("Could not find property '%s' from local definitions", key.c_str());
        Messages::PropertyDefinition local = row.toDefinition();
        local.key = key;
        known = &addProperty(std::make_shared<SourceAwareProperty>(clientRole_, local));
        created = true;
      } else if (known->definedIn == applying) {
        targets.push_back(Target{nullptr, false});  // a repeated key: its first row counts
        continue;
      }
      known->definedIn = applying;
      targets.push_back(Target{known->property.get(), created});
    }
  }
  // Each row is copied into these and from them into its property, whose own
  // strings and writer list keep their room: once these have grown to the
  // longest row, a row costs no allocation.
  std::vector<ClientRole> writers;
  std::string value;
  std::string type;
  auto target = targets.begin();
  for (const Messages::PropertyDefinitionsView::Row& row : message.rows) {
    const Target& current = *target++;
    if (current.property == nullptr) continue;
    row.copyWritersTo(writers);
    value.assign(row.defaultValue);
    type.assign(row.type);
    current.property->initialize(writers, value, type, row.version, row.persistent);
    if (current.created) propertyChanged_.emit(*current.property);
  }
}

void PropertyClient::onPropertyUpdate(const Messages::PropertyUpdateToClientView& message) {
  if (queued_) {
    std::lock_guard<std::mutex> lock(mutex_);
    queuedUpdates_.push_back(message.toMessage());
    return;
  }
  processOnPropertyUpdate(message.key, std::string(message.value), message.writer);
}

void PropertyClient::processOnPropertyUpdate(std::string_view key, const std::string& value, ClientRole writer) {
  std::shared_ptr<SourceAwareProperty> property;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    property = findProperty(key);
    if (property == nullptr) {
      LOG_THROTTLED(LogLevels::Error, kThrottleIntervalNs, "Received update to property with unknown key '%s'",
                    std::string(key).c_str());
      return;
    }
  }
  // Not local: the writer check applies and the value is not sent back.
  property->setStringValue(writer, value, false);
}

void PropertyClient::processQueuedMessages() {
  std::deque<std::vector<std::uint8_t>> definitions;
  std::deque<Messages::PropertyUpdateToClient> updates;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    definitions.swap(queuedDefinitions_);
    updates.swap(queuedUpdates_);
  }
  for (const std::vector<std::uint8_t>& payload : definitions) {
    // Read when it arrived: it reads again.
    Messages::PropertyDefinitionsView message;
    if (Messages::PropertyDefinitionsView::decode(payload.data(), static_cast<std::uint32_t>(payload.size()), message)) {
      processDefinitions(message);
    }
  }
  for (const auto& message : updates) processOnPropertyUpdate(message.key, message.value, message.writer);
}

void PropertyClient::onSourceChanged(const Property& property, ClientRole /*writer*/, bool local) {
  propertyChanged_.emit(property);
  if (local) publishPropertyValueChangeToServer(property);
}

void PropertyClient::publishPropertyValueChangeToServer(const Property& property) {
  Messages::PropertyUpdateToServer update;
  update.key = property.keyView();
  update.value = property.getStringValue();
  if (send(update)) return;
  ++failedPublishes_;
  if (property.getLogChanges()) {
    LOG_WARNING("Failed to send property update to server ('%s':'%s')", update.key.c_str(), update.value.c_str());
  } else {
    LOG_WARNING("Failed to send property update to server ('%s')", update.key.c_str());
  }
}

void PropertyClient::resetPersistentProperties() {
  LOG_INFO("Reset persistent properties");
  if (!send(Messages::RequestResetPersistentProperties{})) {
    LOG_WARNING("Request failed");
  }
}

void PropertyClient::notifyComponentIsReady(bool ready) {
  LOG_INFO("Notifying that client is %s", ready ? "ready" : "not ready");
  Messages::NotifyPropertyClientStatus status;
  status.ready = ready;
  if (!send(status)) LOG_WARNING("Client readiness notification failed");
}

void PropertyClient::sendHeartbeat() {
  const std::int64_t now = monotonicNanoseconds();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!heartbeatSent_) {
      heartbeatSent_ = true;
    } else if (now - lastHeartbeatTime_ < kHeartbeatIntervalNs) {
      return;
    }
    // Taken as sent whether or not the send succeeds.
    lastHeartbeatTime_ = now;
  }
  if (!send(Messages::ComponentHeartbeat{})) {
    LOG_THROTTLED(LogLevels::Warning, kThrottleIntervalNs, "Client heartbeat failed");
  }
}

}  // namespace Orvel::State
