// Counts frames delivered to a handler on another thread and lets the
// benchmark thread wait until a number of them has arrived. The handler takes
// the mutex only on every step-th frame, so counting costs it one atomic add.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace Orvel::Bench {

class FrameCounter {
 public:
  explicit FrameCounter(std::uint64_t step) : step_(step) {}

  // Handler thread: one more frame; bad marks a frame that did not arrive intact.
  void add(bool bad) {
    if (bad) bad_.store(true);
    const std::uint64_t count = count_.fetch_add(1) + 1;
    if (count % step_ == 0) {
      std::lock_guard<std::mutex> lock(mutex_);
      changed_.notify_all();
    }
  }

  // The count rounded down to a whole step: the first target to wait from.
  std::uint64_t base() const { return count_.load() / step_ * step_; }

  // Waits until count frames (a multiple of the step) have arrived.
  void waitFor(std::uint64_t count) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return count_.load() >= count; });
  }

  bool sawBadFrame() const { return bad_.load(); }

 private:
  const std::uint64_t step_;
  std::atomic<std::uint64_t> count_{0};
  std::atomic<bool> bad_{false};
  std::mutex mutex_;
  std::condition_variable changed_;
};

}  // namespace Orvel::Bench
