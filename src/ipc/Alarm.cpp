#include "ipc/Alarm.h"

#include <utility>

namespace Orvel::IPC {

Alarm::Alarm(std::chrono::milliseconds after, std::function<void()> action) {
  const auto end = std::chrono::steady_clock::now() + after;
  thread_ = std::thread([this, end, action = std::move(action)] {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      if (condition_.wait_until(lock, end, [this] { return cancelled_; })) return;
      rang_ = true;
    }
    action();
  });
}

Alarm::~Alarm() {
  cancel();
  thread_.join();
}

bool Alarm::cancel() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (rang_) return true;
    cancelled_ = true;
  }
  condition_.notify_all();
  return false;
}

}  // namespace Orvel::IPC
