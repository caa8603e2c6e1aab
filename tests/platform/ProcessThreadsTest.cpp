#include "platform/ProcessThreads.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

using Orvel::platform::processThreadCount;

namespace {

// The count once it equals `expected`, or what it was after a generous bound.
std::optional<std::size_t> countOnceItIs(std::size_t expected) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  std::optional<std::size_t> count = processThreadCount();
  while (count != expected && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    count = processThreadCount();
  }
  return count;
}

}  // namespace

TEST(ProcessThreads, CountsAThreadWhileItRuns) {
  const std::optional<std::size_t> before = processThreadCount();
  ASSERT_TRUE(before.has_value());
  ASSERT_GE(*before, 1u);

  std::mutex mutex;
  std::condition_variable changed;
  bool release = false;
  std::thread thread([&] {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [&] { return release; });
  });
  EXPECT_EQ(countOnceItIs(*before + 1), *before + 1);
  {
    const std::lock_guard<std::mutex> lock(mutex);
    release = true;
  }
  changed.notify_all();
  thread.join();
  EXPECT_EQ(countOnceItIs(*before), *before);
}
