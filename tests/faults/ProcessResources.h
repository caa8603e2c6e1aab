// What the test process holds from the system right now, to show that
// connections give back every thread and handle they take. The handle count
// has one implementation per platform beside this header.
#pragma once
#include <chrono>
#include <cstddef>
#include <thread>

#include "platform/ProcessThreads.h"

namespace Orvel::Test {

// Threads of this process; 0 when the system cannot say.
inline std::size_t threadCount() { return Orvel::platform::processThreadCount().value_or(0); }
// Open handles (Windows) or file descriptors (Linux) of this process.
std::size_t handleCount();

// Waits until the process has count threads, or bound has passed: a joined
// thread may take a moment to leave the system's view. True when it has.
inline bool waitForThreadCount(std::size_t count, std::chrono::milliseconds bound) {
  const auto end = std::chrono::steady_clock::now() + bound;
  for (;;) {
    if (threadCount() == count) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace Orvel::Test
