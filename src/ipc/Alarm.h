// Runs an action on a thread of its own once a time has passed, unless it is
// cancelled first: what bounds a wait that cannot be given a time limit of
// its own (a send that waits until the server has read it), by an action
// that ends the wait from outside (closing the pipe).
#pragma once
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace Orvel::IPC {

class Alarm {
 public:
  Alarm(std::chrono::milliseconds after, std::function<void()> action);
  // Cancels and waits for the thread, and for an action under way.
  ~Alarm();
  Alarm(const Alarm&) = delete;
  Alarm& operator=(const Alarm&) = delete;

  // Keeps the action from running if it has not started yet. True when it
  // has started (or run) already.
  bool cancel();

 private:
  std::mutex mutex_;
  std::condition_variable condition_;
  bool cancelled_ = false;
  bool rang_ = false;
  std::thread thread_;
};

}  // namespace Orvel::IPC
