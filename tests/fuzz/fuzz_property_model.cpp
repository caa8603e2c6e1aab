// The property model driven directly, with no pipe and no server thread. The
// input is a handful of properties (catalogue rows, made-up definitions and
// placeholders, as source-aware or plain properties) and a sequence of
// operations on them: server definitions and updates applied as the property
// client applies them, local writes from any role, and listeners that
// connect, disconnect themselves or others, connect new ones while called,
// or are disconnected from another thread while their call runs. Checks:
// - every value is the one the write rules allow: a write changes the value
//   only after the server's definition, by a role the server's writer list
//   admits (ALL, the role itself, or PROPERTY_UTIL / PROPERTY_SERVER always),
//   with matching type names and a different text; it returns true exactly
//   then; initialize always takes the server's value;
// - changed is emitted exactly when the value changed, sourceChanged with the
//   writer and the local flag (PROCESS_SERVER and not local for initialize,
//   also when the value stayed), each listener once, with the new value;
// - a listener connected during an emission is not called by it, and no
//   listener is called after its disconnect returned (from inside a call,
//   from another listener, from another thread while the call runs, or with
//   its property already gone). A disconnect from another thread returns only
//   after the running call has ended.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "FuzzTarget.h"
#include "property/EventConnection.h"
#include "property/Property.h"
#include "property/PropertyCatalogue.h"
#include "property/SourceAwareProperty.h"
#include "state/ClientRole.h"
#include "state/PropertyDefinition.h"

namespace {

using Orvel::Fuzz::check;
using Orvel::State::ClientRole;
using Orvel::State::Property;
using Orvel::State::SourceAwareProperty;
using Orvel::State::Messages::PropertyDefinition;

// Runs one job at a time on a thread of its own, kept for the whole process:
// starting a thread per input would cost more than the input itself.
class Worker {
 public:
  Worker() : thread_([this] { run(); }) {}
  ~Worker() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    condition_.notify_all();
    thread_.join();
  }

  void start(std::function<void()> job) {
    std::lock_guard<std::mutex> lock(mutex_);
    job_ = std::move(job);
    done_ = false;
    condition_.notify_all();
  }
  void wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    condition_.wait(lock, [this] { return done_; });
  }
  // Waits until the job has ended or `ready` holds (checked when notify() is called).
  void waitFor(const std::function<bool()>& ready) {
    std::unique_lock<std::mutex> lock(mutex_);
    condition_.wait(lock, [&] { return done_ || ready(); });
  }
  void notify() {
    std::lock_guard<std::mutex> lock(mutex_);
    condition_.notify_all();
  }
  std::mutex& mutex() { return mutex_; }

 private:
  void run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      condition_.wait(lock, [this] { return stopping_ || job_; });
      if (stopping_) return;
      std::function<void()> job = std::move(job_);
      job_ = nullptr;
      lock.unlock();
      job();
      lock.lock();
      done_ = true;
      condition_.notify_all();
    }
  }

  std::mutex mutex_;
  std::condition_variable condition_;
  std::function<void()> job_;
  bool done_ = true;
  bool stopping_ = false;
  std::thread thread_;
};

Worker& worker() {
  static Worker instance;
  return instance;
}

// What the write rules say about one property, kept beside the real object.
struct Expected {
  std::string type;
  std::string remoteType;
  std::string value;
  std::vector<ClientRole> writers;
  bool initialized = false;

  bool admits(ClientRole writer) const {
    if (!initialized) return false;
    if (writer == ClientRole::PROPERTY_UTIL || writer == ClientRole::PROPERTY_SERVER) return true;
    return std::any_of(writers.begin(), writers.end(),
                       [writer](ClientRole role) { return role == ClientRole::ALL || role == writer; });
  }
};

struct Slot {
  std::shared_ptr<Property> property;  // null once dropped
  bool sourceAware = false;
  Expected expected;
};

enum class Action : std::uint8_t { None, DisconnectSelf, DisconnectOther, ConnectNew, ReadValue };

struct Listener {
  std::size_t slot = 0;
  bool sourceEvent = false;  // onSourceChanged rather than onChanged
  Action action = Action::None;
  std::size_t other = 0;  // DisconnectOther: index of the listener to disconnect
  EventConnection connection;
  std::uint64_t connectedAt = 0;      // the operation during which it was connected
  std::atomic<std::uint64_t> lastCall{0};  // the operation of its last call
  std::atomic<bool> disconnected{false};   // its disconnect has returned
  std::atomic<bool> inCall{false};
  // Cross-thread case: the call announces itself and waits until the
  // disconnecting thread is about to disconnect.
  std::atomic<bool> holdCall{false};
  std::atomic<bool> entered{false};
  std::atomic<bool> disconnecting{false};
};

// What the operation under way must emit.
struct Emission {
  std::uint64_t operation = 0;
  const Property* property = nullptr;
  std::string value;  // the value every listener must see
  bool changed = false;
  bool sourceChanged = false;
  ClientRole writer = ClientRole::UNKNOWN;
  bool local = false;
};

class Harness {
 public:
  explicit Harness(FuzzedDataProvider& input) : input_(input) {}

  ~Harness() {
    // Listeners first, while the properties they may refer to exist.
    for (auto& listener : listeners_) disconnect(*listener);
  }

  void run() {
    const std::size_t count = input_.ConsumeIntegralInRange<std::size_t>(1, 4);
    for (std::size_t i = 0; i < count; ++i) addProperty(i);
    while (input_.remaining_bytes() > 0 && operation_ < 32) {
      ++operation_;
      step();
    }
  }

 private:
  static const std::vector<const PropertyDefinition*>& catalogueRows() {
    static const std::vector<const PropertyDefinition*> rows = [] {
      std::vector<const PropertyDefinition*> all;
      for (const auto& entry : Orvel::State::getPropertyDefinitions()) all.push_back(&entry.second);
      return all;
    }();
    return rows;
  }

  ClientRole role() {
    // Now and then one beyond UNKNOWN: the wire accepts any value.
    return static_cast<ClientRole>(input_.ConsumeIntegralInRange<std::uint32_t>(0, 23));
  }
  std::vector<ClientRole> roles() {
    std::vector<ClientRole> result(input_.ConsumeIntegralInRange<std::size_t>(0, 3));
    for (ClientRole& entry : result) entry = role();
    return result;
  }
  std::string text() { return input_.ConsumeRandomLengthString(12); }
  std::string typeName(const std::string& local) {
    switch (input_.ConsumeIntegralInRange(0, 3)) {
      case 0: return "bool";
      case 1: return "std::string";
      case 2: return "";
      default: return local;  // most servers agree with the catalogue
    }
  }

  void addProperty(std::size_t index) {
    Slot slot;
    slot.sourceAware = input_.ConsumeBool();
    const ClientRole owner = role();
    switch (input_.ConsumeIntegralInRange(0, 2)) {
      case 0: {
        const auto& rows = catalogueRows();
        const PropertyDefinition& row = *rows[input_.ConsumeIntegralInRange<std::size_t>(0, rows.size() - 1)];
        make(slot, owner, row);
        break;
      }
      case 1: {
        PropertyDefinition definition;
        definition.writers = roles();
        definition.key = "Fuzz.Property" + std::to_string(index);
        definition.type = typeName("int64_t");
        definition.defaultValue = text();
        make(slot, owner, definition);
        break;
      }
      default: {
        const std::string key = "Fuzz.Placeholder" + std::to_string(index);
        slot.property = slot.sourceAware ? std::make_shared<SourceAwareProperty>(key) : std::make_shared<Property>(key);
        break;
      }
    }
    slots_.push_back(std::move(slot));
  }

  static void make(Slot& slot, ClientRole owner, const PropertyDefinition& definition) {
    if (slot.sourceAware) {
      slot.property = std::make_shared<SourceAwareProperty>(owner, definition);
    } else {
      slot.property = std::make_shared<Property>(owner, definition);
    }
    slot.expected.type = definition.type;
    slot.expected.remoteType = definition.type;
    slot.expected.value = definition.defaultValue;
    slot.expected.writers = definition.writers;
  }

  Slot* pickLiveSlot() {
    Slot& slot = slots_[input_.ConsumeIntegralInRange<std::size_t>(0, slots_.size() - 1)];
    return slot.property ? &slot : nullptr;
  }

  void step() {
    switch (input_.ConsumeIntegralInRange(0, 8)) {
      case 0: definition(); break;
      case 1: write(false); break;
      case 2: write(true); break;
      case 3:
      case 4: connect(); break;
      case 5: disconnectOne(); break;
      case 6: writeWhileDisconnecting(); break;
      case 7: dropProperty(); break;
      default: write(true); break;
    }
  }

  // The server's definition, applied as the property client applies it.
  void definition() {
    Slot* slot = pickLiveSlot();
    if (!slot) return;
    const std::vector<ClientRole> writers = roles();
    const std::string value = text();
    const std::string remoteType = typeName(slot->expected.type);
    Expected& expected = slot->expected;
    expect(*slot, value != expected.value, slot->sourceAware, ClientRole::PROCESS_SERVER, false, value);
    expected.initialized = true;
    expected.writers = writers;
    expected.remoteType = remoteType;
    expected.value = value;
    slot->property->initialize(writers, value, remoteType, input_.ConsumeIntegral<std::uint8_t>(),
                               input_.ConsumeBool());
    verify(*slot);
  }

  // Whether a write by `writer` of `value` changes the value, and the model after it.
  bool expectWrite(Slot& slot, ClientRole writer, const std::string& value, bool local) {
    Expected& expected = slot.expected;
    const bool changes = expected.admits(writer) && expected.remoteType == expected.type && value != expected.value;
    expect(slot, changes, changes && slot.sourceAware, writer, local, value);
    if (changes) expected.value = value;
    return changes;
  }

  // An update from the server (applied as the property client applies it:
  // the writer check applies, nothing is local) or this process's own write,
  // made holding the property's mutex as the set mode does.
  void write(bool local) {
    Slot* slot = pickLiveSlot();
    if (!slot) return;
    const ClientRole writer = role();
    const std::string value = text();
    const bool changes = expectWrite(*slot, writer, value, local);
    bool result;
    if (local) {
      std::lock_guard<std::recursive_mutex> lock(slot->property->getMutex());
      result = slot->property->setStringValue(writer, value);
    } else if (slot->sourceAware) {
      result = static_cast<SourceAwareProperty&>(*slot->property).setStringValue(writer, value, false);
    } else {
      result = slot->property->setStringValue(writer, value);
    }
    check(result == changes, "a write returns whether the value changed");
    verify(*slot);
  }

  void connect() {
    Slot* slot = pickLiveSlot();
    if (!slot) return;
    const bool sourceEvent = slot->sourceAware && input_.ConsumeBool();
    const auto action = static_cast<Action>(input_.ConsumeIntegralInRange(0, 4));
    const std::size_t other = input_.ConsumeIntegral<std::uint8_t>();
    addListener(static_cast<std::size_t>(slot - slots_.data()), sourceEvent, action, other);
  }

  Listener& addListener(std::size_t slotIndex, bool sourceEvent, Action action, std::size_t other) {
    listeners_.push_back(std::make_unique<Listener>());
    Listener& listener = *listeners_.back();
    listener.slot = slotIndex;
    listener.sourceEvent = sourceEvent;
    listener.action = action;
    listener.other = other;
    listener.connectedAt = operation_;
    Property& property = *slots_[slotIndex].property;
    if (sourceEvent) {
      listener.connection = static_cast<SourceAwareProperty&>(property).onSourceChanged(
          [this, &listener](const Property& changed, ClientRole writer, bool local) {
            called(listener, changed);
            check(writer == emission_.writer, "sourceChanged names the writer");
            check(local == emission_.local, "sourceChanged tells whether the change was local");
            act(listener, changed);
          });
    } else {
      listener.connection = property.onChanged([this, &listener](const Property& changed) {
        called(listener, changed);
        act(listener, changed);
      });
    }
    return listener;
  }

  void called(Listener& listener, const Property& changed) {
    check(!listener.disconnected.load(), "no listener is called after its disconnect returned");
    check(listener.connectedAt < emission_.operation, "a listener connected during an emission is not called by it");
    check(&changed == emission_.property, "a listener hears its own property");
    check(listener.sourceEvent ? emission_.sourceChanged : emission_.changed, "only the expected events are emitted");
    check(listener.lastCall.exchange(emission_.operation) != emission_.operation, "one call per listener per change");
    listener.inCall = true;
    if (listener.holdCall) {
      listener.entered = true;
      worker().notify();
      // Waits until the other thread is about to disconnect this listener.
      while (!listener.disconnecting.load()) std::this_thread::yield();
    }
  }

  void act(Listener& listener, const Property& changed) {
    if (!listener.holdCall) {
      switch (listener.action) {
        case Action::DisconnectSelf:
          disconnect(listener);
          break;
        case Action::DisconnectOther: {
          Listener& other = *listeners_[listener.other % listeners_.size()];
          if (&other != crossThreadTarget_) disconnect(other);
          break;
        }
        case Action::ConnectNew:
          if (listeners_.size() < 32) addListener(listener.slot, listener.sourceEvent, Action::None, 0);
          break;
        case Action::ReadValue:
          // The property is locked by this thread during the call: reading it again is allowed.
          check(changed.getStringValue() == emission_.value, "a listener reads the new value");
          break;
        case Action::None:
          break;
      }
    }
    listener.inCall = false;
  }

  // Every disconnect goes through here, so that "disconnected" means "its disconnect has returned".
  void disconnect(Listener& listener) {
    listener.connection.disconnect();
    listener.disconnected = true;
  }

  void disconnectOne() {
    if (listeners_.empty()) return;
    Listener& listener = *listeners_[input_.ConsumeIntegralInRange<std::size_t>(0, listeners_.size() - 1)];
    if (input_.ConsumeBool()) {
      disconnect(listener);
    } else {
      // Destroying the handle also disconnects.
      listener.connection = EventConnection();
      listener.disconnected = true;
    }
  }

  // A listener's property is written on the worker thread while this thread
  // disconnects the listener: the disconnect returns only after the call has
  // ended, and the listener is never called again.
  void writeWhileDisconnecting() {
    if (listeners_.empty()) return;
    Listener& target = *listeners_[input_.ConsumeIntegralInRange<std::size_t>(0, listeners_.size() - 1)];
    Slot& slot = slots_[target.slot];
    // Two thread hand-overs an input find what more would, at a fraction of the cost.
    if (!slot.property || target.disconnected || crossThreadWrites_ == 2) return;
    ++crossThreadWrites_;
    const ClientRole writer = role();
    const std::string value = text();
    const bool changes = expectWrite(slot, writer, value, true);
    crossThreadTarget_ = &target;
    target.holdCall = true;
    bool result = false;
    Property& property = *slot.property;
    worker().start([&] { result = property.setStringValue(writer, value); });
    worker().waitFor([&] { return target.entered.load(); });
    target.disconnecting = true;
    target.connection.disconnect();
    check(!target.inCall.load(), "a disconnect from another thread returns after the running call");
    target.disconnected = true;
    worker().wait();
    crossThreadTarget_ = nullptr;
    target.holdCall = false;
    check(result == changes, "a write on another thread returns whether the value changed");
    verify(slot);
  }

  // The property goes while listeners are connected: their later disconnect
  // must not wait, and nothing calls them.
  void dropProperty() {
    Slot* slot = pickLiveSlot();
    if (slot && slots_.size() > 1) slot->property.reset();
  }

  void expect(const Slot& slot, bool changed, bool sourceChanged, ClientRole writer, bool local,
              const std::string& value) {
    emission_.operation = operation_;
    emission_.property = slot.property.get();
    emission_.value = value;
    emission_.changed = changed;
    emission_.sourceChanged = sourceChanged;
    emission_.writer = writer;
    emission_.local = local;
  }

  // After an operation: the value is the model's, and every listener of an
  // emitted event that was connected before it and still is was called.
  void verify(const Slot& slot) {
    check(slot.property->getStringValue() == slot.expected.value, "the value is the one the write rules allow");
    check(slot.property->isInitialized() == slot.expected.initialized, "initialized once the server's definition came");
    const std::size_t index = static_cast<std::size_t>(&slot - slots_.data());
    for (const auto& listener : listeners_) {
      if (listener->slot != index || listener->disconnected || listener->connectedAt >= operation_) continue;
      const bool emitted = listener->sourceEvent ? emission_.sourceChanged : emission_.changed;
      check((listener->lastCall == operation_) == emitted, "every connected listener hears each emission");
    }
  }

  FuzzedDataProvider& input_;
  std::vector<Slot> slots_;
  std::vector<std::unique_ptr<Listener>> listeners_;
  std::uint64_t operation_ = 0;
  Emission emission_;
  const Listener* crossThreadTarget_ = nullptr;
  int crossThreadWrites_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Orvel::Fuzz::silenceLogs();
  FuzzedDataProvider input(data, size);
  Harness harness(input);
  harness.run();
  return 0;
}
