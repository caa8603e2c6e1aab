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
// that serialises connects are made by the first connect; until then emit()
// and the destructor read one flag and touch no shared pointer (whose atomic
// access takes a lock), and an event is a few words.
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
    delete connectMutex_.load(std::memory_order_acquire);
    if (!listed_.load(std::memory_order_acquire)) return;
    const std::shared_ptr<const List> entries = std::atomic_load(&entries_);
    for (const Entry& entry : *entries) {
      if (auto record = entry.record.lock()) record->connected = false;
    }
  }

  EventConnection connect(Listener listener) {
    std::lock_guard<std::mutex> lock(connectMutex());
    const std::shared_ptr<const List> current = std::atomic_load(&entries_);
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
    std::atomic_store(&entries_, std::shared_ptr<const List>(std::move(next)));
    // Set once the list is stored: an emission that sees the flag finds a
    // list; one that does not see it ran before this connect.
    listed_.store(true, std::memory_order_release);
    return EventConnection(std::move(record));
  }

  void emit(Args... args) const {
    if (!listed_.load(std::memory_order_acquire)) return;
    const std::shared_ptr<const List> entries = std::atomic_load(&entries_);
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

  // The mutex that serialises connect, made by the first one. Threads that
  // connect at once for the first time each make one; the first stored is
  // kept by all of them, the others are deleted unused.
  std::mutex& connectMutex() {
    std::mutex* mutex = connectMutex_.load(std::memory_order_acquire);
    if (mutex != nullptr) return *mutex;
    auto made = std::make_unique<std::mutex>();
    if (connectMutex_.compare_exchange_strong(mutex, made.get(), std::memory_order_acq_rel)) return *made.release();
    return *mutex;  // stored by another thread meanwhile
  }

  std::shared_ptr<const List> entries_;      // null until the first connect; loaded and stored atomically
  std::atomic<std::mutex*> connectMutex_{};  // null until the first connect; owned, never replaced
  std::atomic<bool> listed_{false};          // entries_ has been stored, and is never null again
};
