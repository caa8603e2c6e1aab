// Keeping a thread on one processor, checked against what the system records.
// Every case runs on a thread of its own, so that no pin outlives it.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <thread>

#include "platform/ProcessorAffinity.h"
#include "platform/ProcessorPin.h"
#include "support/ThreadProcessors.h"

namespace {

using Orvel::Test::allowedProcessorCount;
using Orvel::platform::currentProcessor;
using Orvel::platform::keepCurrentThreadOn;
using Orvel::platform::Processor;
using Orvel::platform::ProcessorPin;

template <typename Body>
void onOwnThread(Body body) {
  std::thread thread(body);
  thread.join();
}

bool same(const Processor& a, const Processor& b) { return a.group == b.group && a.number == b.number; }

// Whether the calling thread is found on the processor every time it looks,
// while it gives up its processor and sleeps in between.
bool staysOn(const Processor& processor) {
  for (int i = 0; i < 50; ++i) {
    std::this_thread::yield();
    if (i % 10 == 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
    const std::optional<Processor> now = currentProcessor();
    if (!now || !same(*now, processor)) return false;
  }
  return true;
}

TEST(ProcessorAffinity, AThreadMovesToTheProcessorItIsKeptOnAndStaysThere) {
  onOwnThread([] {
    const std::size_t allowed = allowedProcessorCount();
    const std::optional<Processor> start = currentProcessor();
    ASSERT_TRUE(start.has_value());
    ASSERT_GE(allowed, 1u);
    // Kept on the processor it runs on: nothing moves, the record says one.
    ASSERT_TRUE(keepCurrentThreadOn(*start));
    EXPECT_EQ(allowedProcessorCount(), 1u);
    EXPECT_TRUE(staysOn(*start));
    // Kept on another processor, it must move there: only then is the
    // processor it names taken, not just the one it happened to be on.
    if (allowed < 2 || std::thread::hardware_concurrency() < 2) return;
    const Processor other{start->group, (start->number + 1) % std::thread::hardware_concurrency()};
    if (!keepCurrentThreadOn(other)) return;  // a processor this process may not use
    EXPECT_TRUE(staysOn(other));
  });
}

TEST(ProcessorAffinity, AProcessorThatDoesNotExistIsRefused) {
  onOwnThread([] {
    const std::size_t allowed = allowedProcessorCount();
    EXPECT_FALSE(keepCurrentThreadOn(Processor{0, 100000}));
    EXPECT_FALSE(keepCurrentThreadOn(Processor{0, 64 * 1024 + 3}));
    EXPECT_EQ(allowedProcessorCount(), allowed) << "a refused processor leaves the thread as it was";
  });
}

TEST(ProcessorPin, HoldsTheThreadWhileItLivesAndLetsGoAfter) {
  onOwnThread([] {
    const std::size_t allowed = allowedProcessorCount();
    ASSERT_GE(allowed, 1u);
    {
      const ProcessorPin pin;
      ASSERT_TRUE(pin.pinned());
      EXPECT_EQ(allowedProcessorCount(), 1u);
      const std::optional<Processor> pinnedTo = currentProcessor();
      ASSERT_TRUE(pinnedTo.has_value());
      EXPECT_TRUE(staysOn(*pinnedTo));
    }
    EXPECT_EQ(allowedProcessorCount(), allowed);
    // Pins made one after another each let go of what the thread had before.
    {
      const ProcessorPin first;
      { const ProcessorPin second; }
      EXPECT_EQ(allowedProcessorCount(), 1u) << "the inner pin restores the outer one";
    }
    EXPECT_EQ(allowedProcessorCount(), allowed);
  });
}

}  // namespace
