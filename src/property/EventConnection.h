// The handle of one listener connected to an Event. The listener stays
// connected until disconnect() or the handle's destruction.
//
// disconnect() called from inside the listener's own call returns at once.
// Called from any other thread, it waits until a call of the listener that is
// running elsewhere has ended; the listener is never called afterwards.
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>

#include "property/Semaphore.h"

class EventConnection {
 public:
  // Lives as long as a strong reference exists: the connection's own, or an
  // emitting thread's short-lived one. Its destruction releases the semaphore
  // that a disconnecting thread waits on.
  struct ReferenceRecord {
    // Bit 32 set while a call is in progress; the low 32 bits then hold the id
    // of the thread that runs the listener. 0 when idle. One word for all
    // threads, so it is exact only while calls do not overlap: a record for
    // a debugger, never consulted by disconnect().
    std::atomic<std::uint64_t> callState{0};
    std::shared_ptr<Semaphore> semaphore = std::make_shared<Semaphore>();
    // Cleared when the event is destroyed.
    std::atomic<bool> connected{true};

    ReferenceRecord() = default;
    ReferenceRecord(const ReferenceRecord&) = delete;
    ReferenceRecord& operator=(const ReferenceRecord&) = delete;
    ~ReferenceRecord() { semaphore->release(); }
  };

  static constexpr std::uint64_t kCallInProgress = std::uint64_t{1} << 32;

  // A small number unique to the calling thread, for callState.
  static std::uint32_t currentThreadId();

  // Marks a listener call on the calling thread for its lifetime: sets the
  // record's callState and remembers the record in this thread's chain of
  // running calls. Used by Event::emit.
  class CallScope {
   public:
    explicit CallScope(ReferenceRecord& record);
    ~CallScope();
    CallScope(const CallScope&) = delete;
    CallScope& operator=(const CallScope&) = delete;

   private:
    friend class EventConnection;
    ReferenceRecord& record_;
    std::uint64_t previousState_;
    const CallScope* outer_;
  };

  EventConnection() = default;
  explicit EventConnection(std::shared_ptr<ReferenceRecord> record);
  EventConnection(EventConnection&& other) noexcept = default;
  // Disconnects the listener held so far, then takes the other's.
  EventConnection& operator=(EventConnection&& other) noexcept;
  EventConnection(const EventConnection&) = delete;
  EventConnection& operator=(const EventConnection&) = delete;
  ~EventConnection();

  void disconnect();
  // True while this handle holds a listener (it has not been disconnected).
  bool isConnected() const { return record_ != nullptr; }

 private:
  static bool isRunningOnThisThread(const ReferenceRecord& record);

  std::shared_ptr<ReferenceRecord> record_;
};
