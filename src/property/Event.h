// A change notification with a copy-on-write list of listeners.
//
// connect() copies the list under a mutex; emit() takes no lock and allocates
// nothing, so listeners may connect and disconnect listeners (themselves
// included) while an emission runs. A listener connected during an emission
// is first called by the next one. Listeners run on the emitting thread; an
// exception thrown by a listener leaves emit().
//
// Most events never get a listener: a client holds hundreds of properties,
// each with its events, and its user watches a few. The list and the mutex
// that serialises connects live in a block made by the first connect; until
// then emit() and the destructor read one pointer and touch no shared pointer
// (whose atomic access takes a lock), and an event is one word.
#pragma once
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "property/EventConnection.h"

template <typename Signature>
class Event;

template <typename... Args>
class Event<void(Args...)> {
 public:
  using Listener = std::function<void(Args...)>;

  Event() = default;
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  ~Event() {
    const std::unique_ptr<Listed> listed(listed_.load(std::memory_order_acquire));
    if (listed == nullptr) return;
    const std::shared_ptr<const List> entries = std::atomic_load(&listed->entries);
    if (entries == nullptr) return;
    for (const Entry& entry : *entries) {
      if (auto record = entry.record.lock()) record->connected = false;
    }
  }

  EventConnection connect(Listener listener) {
    Listed& listed = this->listed();
    std::lock_guard<std::mutex> lock(listed.connectMutex);
    const std::shared_ptr<const List> current = std::atomic_load(&listed.entries);
    auto next = std::make_shared<List>();
    if (current) {
      next->reserve(current->size() + 1);
      for (const Entry& entry : *current) {
        // Entries whose connection has ended are dropped here.
        if (!entry.record.expired()) next->push_back(entry);
      }
    }
    auto record = std::make_shared<EventConnection::ReferenceRecord>();
    next->push_back(Entry{record, std::move(listener)});
    std::atomic_store(&listed.entries, std::shared_ptr<const List>(std::move(next)));
    return EventConnection(std::move(record));
  }

  void emit(Args... args) const {
    const Listed* listed = listed_.load(std::memory_order_acquire);
    if (listed == nullptr) return;
    // Null while the first connect has yet to store its list: an emission
    // then runs before that connect, and calls nobody.
    const std::shared_ptr<const List> entries = std::atomic_load(&listed->entries);
    if (entries == nullptr) return;
    for (const Entry& entry : *entries) {
      const std::shared_ptr<EventConnection::ReferenceRecord> record = entry.record.lock();
      if (!record) continue;
      EventConnection::CallScope call(*record);
      entry.listener(args...);
    }
  }

 private:
  struct Entry {
    std::weak_ptr<EventConnection::ReferenceRecord> record;
    Listener listener;
  };
  using List = std::vector<Entry>;

  // The list and the mutex that serialises connect, made by the first
  // connect.
  struct Listed {
    std::mutex connectMutex;
    std::shared_ptr<const List> entries;  // null until the first list is stored; loaded and stored atomically
  };

  // The event's block, made by the first connect. Threads that connect at
  // once for the first time each make one; the first stored is kept by all of
  // them, the others are deleted unused.
  Listed& listed() {
    Listed* listed = listed_.load(std::memory_order_acquire);
    if (listed != nullptr) return *listed;
    auto made = std::make_unique<Listed>();
    if (listed_.compare_exchange_strong(listed, made.get(), std::memory_order_acq_rel)) return *made.release();
    return *listed;  // stored by another thread meanwhile
  }

  std::atomic<Listed*> listed_{};  // null until the first connect; owned, never replaced
};
