// Runs a call that must end, on a thread of its own. A call that has not
// returned within kFaultBound is a hang: it is reported and the test process
// ends, since the hanging thread could not be joined.
#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "ServerProcess.h"

namespace Orvel::Test {

// Tells whether the call returned within bound. A call that is late is still
// waited for, up to kFaultBound in all, so that the test can report it and go
// on; one that has not returned by then is a hang, and `report` may then add
// what is known about it to the standard error before the process ends.
inline bool returnsWithin(std::chrono::milliseconds bound, const std::string& what,
                          const std::function<void()>& call, const std::function<void()>& report = {}) {
  std::mutex mutex;
  std::condition_variable condition;
  bool done = false;
  std::thread runner([&] {
    call();
    std::lock_guard<std::mutex> lock(mutex);
    done = true;
    condition.notify_all();
  });
  std::unique_lock<std::mutex> lock(mutex);
  const bool inTime = condition.wait_for(lock, bound, [&] { return done; });
  if (!inTime && !condition.wait_for(lock, kFaultBound - bound, [&] { return done; })) {
    std::fprintf(stderr, "HANG: %s did not return within %lld s\n", what.c_str(),
                 static_cast<long long>(kFaultBound.count()));
    if (report) report();
    std::fflush(stderr);
    std::_Exit(1);
  }
  lock.unlock();
  runner.join();
  return inTime;
}

inline void mustReturn(const std::string& what, const std::function<void()>& call,
                       const std::function<void()>& report = {}) {
  returnsWithin(kFaultBound, what, call, report);
}

}  // namespace Orvel::Test
