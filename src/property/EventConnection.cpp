#include "property/EventConnection.h"

#include <condition_variable>
#include <mutex>
#include <utility>

namespace {

// Where every disconnecting thread waits for its record's end. One for the
// process: the wait is short and rare (only while another thread runs the
// listener), and a record then needs no mutex or condition of its own. The
// flag a waiter watches lives on its stack and is set under this mutex, so
// the waiter can only return, and free it, once the setter is done with it.
// Never destroyed: a record may end while the process exits.
struct DisconnectWaits {
  std::mutex mutex;
  std::condition_variable ended;
};

DisconnectWaits& disconnectWaits() {
  static DisconnectWaits* const waits = new DisconnectWaits;
  return *waits;
}

// The innermost listener call running on this thread; each CallScope links to
// the one it interrupted. Lives on the emitting threads' stacks, so emission
// allocates nothing.
thread_local const EventConnection::CallScope* tCurrentCall = nullptr;

}  // namespace

std::uint32_t EventConnection::currentThreadId() {
  static std::atomic<std::uint32_t> nextId{1};
  thread_local const std::uint32_t id = nextId.fetch_add(1);
  return id;
}

EventConnection::CallScope::CallScope(ReferenceRecord& record)
    : record_(record),
      previousState_(record.callState.exchange(currentThreadId() | kCallInProgress)),
      outer_(tCurrentCall) {
  tCurrentCall = this;
}

EventConnection::CallScope::~CallScope() {
  tCurrentCall = outer_;
  record_.callState.exchange(previousState_);
}

EventConnection::ReferenceRecord::~ReferenceRecord() {
  bool* const flag = ended.load();
  if (flag == nullptr) return;
  DisconnectWaits& waits = disconnectWaits();
  std::lock_guard<std::mutex> lock(waits.mutex);
  *flag = true;
  waits.ended.notify_all();
}

EventConnection::EventConnection(std::shared_ptr<ReferenceRecord> record) : record_(std::move(record)) {}

EventConnection& EventConnection::operator=(EventConnection&& other) noexcept {
  if (this != &other) {
    disconnect();
    record_ = std::move(other.record_);
  }
  return *this;
}

EventConnection::~EventConnection() { disconnect(); }

bool EventConnection::isRunningOnThisThread(const ReferenceRecord& record) {
  // Only this thread's own chain of calls can tell. callState holds one
  // thread: when several threads run the listener at once, each call puts
  // back the word it found when it began, so after overlapping calls end it
  // may name a thread that has long left the listener (or read idle while
  // another still runs it).
  for (const CallScope* call = tCurrentCall; call != nullptr; call = call->outer_) {
    if (&call->record_ == &record) return true;
  }
  return false;
}

void EventConnection::disconnect() {
  if (!record_) return;
  if (isRunningOnThisThread(*record_)) {
    // A listener disconnecting itself: its own call still holds a reference,
    // so waiting for the record's end would wait forever.
    record_.reset();
    return;
  }
  bool ended = false;
  record_->ended.store(&ended);
  // Set when the last reference (ours, or a running call's) is gone: mostly
  // right here, as ours was the last.
  record_.reset();
  DisconnectWaits& waits = disconnectWaits();
  std::unique_lock<std::mutex> lock(waits.mutex);
  waits.ended.wait(lock, [&ended] { return ended; });
}
