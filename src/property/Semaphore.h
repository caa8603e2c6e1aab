// A counting semaphore that starts at 0.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <mutex>

class Semaphore {
 public:
  // Adds one and wakes one waiter.
  void release();
  // Waits until the count is at least one and takes one.
  void acquire();

 private:
  std::mutex mutex_;
  std::condition_variable condition_;
  std::uint32_t count_ = 0;
};
