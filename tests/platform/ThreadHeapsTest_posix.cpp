#include "platform/ThreadHeaps.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <thread>

namespace {

// glibc's allocator makes threads heaps of their own; a sanitizer's replaces it.
#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
constexpr bool kHeapsPerThread = true;
#else
constexpr bool kHeapsPerThread = false;
#endif

// In a fresh process (the allocator decides how many heaps it makes when a
// second thread first allocates): whether a block that a new thread
// allocates lies in the main heap, below the program break, where no heap of
// the thread's own would be.
void exitWithWhereAThreadAllocates(bool shareFirst) {
  if (shareFirst) Orvel::platform::shareOneHeapAmongThreads();
  void* block = nullptr;
  std::thread([&] { block = std::malloc(64); }).join();
  const bool inMainHeap = reinterpret_cast<std::uintptr_t>(block) < reinterpret_cast<std::uintptr_t>(sbrk(0));
  std::free(block);
  std::_Exit(inMainHeap ? 0 : 1);
}

}  // namespace

TEST(ThreadHeaps, ThreadsStartedAfterwardsAllocateFromTheMainHeap) {
  if (!kHeapsPerThread) GTEST_SKIP() << "this allocator makes no heap per thread (a sanitizer's, or not glibc's)";
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // a fresh process, not a fork of this one
  EXPECT_EXIT(exitWithWhereAThreadAllocates(true), ::testing::ExitedWithCode(0), "") << "shared: the main heap";
  // Without it the thread has a heap of its own: the check above can fail.
  EXPECT_EXIT(exitWithWhereAThreadAllocates(false), ::testing::ExitedWithCode(1), "") << "not shared: its own heap";
}
