#include "property/Semaphore.h"

void Semaphore::release() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++count_;
  }
  condition_.notify_one();
}

void Semaphore::acquire() {
  std::unique_lock<std::mutex> lock(mutex_);
  condition_.wait(lock, [this] { return count_ >= 1; });
  --count_;
}
