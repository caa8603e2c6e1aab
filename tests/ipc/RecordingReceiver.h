// A frame receiver that keeps what it receives and lets tests wait for it.
#pragma once
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "ipc/LayerByteMessageReceiver.h"

namespace Orvel::Test {

class RecordingReceiver final : public LayerByteMessageReceiver {
 public:
  ~RecordingReceiver() override { stop(); }

  // Waits until count messages arrived, or the bound passed.
  bool waitForMessages(std::size_t count, std::chrono::milliseconds bound = std::chrono::seconds(20)) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, bound, [&] { return messages_.size() >= count; });
  }
  bool waitForStop(std::chrono::milliseconds bound = std::chrono::seconds(20)) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, bound, [&] { return stops_ > 0; });
  }
  std::vector<IncomingMessage> messages() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_;
  }
  int stops() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return stops_;
  }

 protected:
  void onMessageReceived(IncomingMessage& message) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      messages_.push_back(message);
    }
    changed_.notify_all();
  }
  void onReceiverStopped() override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++stops_;
    }
    changed_.notify_all();
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<IncomingMessage> messages_;
  int stops_ = 0;
};

}  // namespace Orvel::Test
