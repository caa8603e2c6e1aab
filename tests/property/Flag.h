// A one-shot flag that threads set and wait for, with a generous bound.
#pragma once
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace Orvel::Test {

class Flag {
 public:
  void set() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      set_ = true;
    }
    condition_.notify_all();
  }
  bool wait(std::chrono::milliseconds bound = std::chrono::seconds(20)) {
    std::unique_lock<std::mutex> lock(mutex_);
    return condition_.wait_for(lock, bound, [this] { return set_; });
  }
  bool isSet() {
    std::lock_guard<std::mutex> lock(mutex_);
    return set_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable condition_;
  bool set_ = false;
};

}  // namespace Orvel::Test
