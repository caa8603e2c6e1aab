#include "property/EventConnection.h"

#include <utility>

namespace {

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
  const std::shared_ptr<Semaphore> semaphore = record_->semaphore;
  record_.reset();
  // Released when the last reference (ours, or a running call's) is gone.
  semaphore->acquire();
}
