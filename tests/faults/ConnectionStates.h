// The connection states that a property client's initializeAsync listener
// was told, in order, with waits for them.
#pragma once
#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <vector>

#include "ServerProcess.h"

namespace Orvel::Test {

class ConnectionStates {
 public:
  // The listener for initializeAsync.
  void add(bool connected) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      states_.push_back(connected);
    }
    changed_.notify_all();
  }
  // Waits until the listener has been told count times that the client is
  // connected (true), or count times that it lost its connection (false).
  bool waitFor(bool connected, std::size_t count) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, kFaultBound, [&] {
      return static_cast<std::size_t>(std::count(states_.begin(), states_.end(), connected)) >= count;
    });
  }
  std::vector<bool> all() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return states_;
  }

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<bool> states_;
};

}  // namespace Orvel::Test
