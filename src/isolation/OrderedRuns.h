// Runs several tasks side by side, each on a thread of its own whose report
// text (see ReportOutput.h) goes to a block of its own, and writes the blocks
// to standard output whole and in the order the tasks were added: the first
// block not yet written is written as its text comes, a block after it waits
// until every block before it is written. Memory holds the text not yet
// written and one block per task that runs or waits, never more.
#pragma once
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace Orvel::Verifier {

class OrderedRuns {
 public:
  // At most `jobs` tasks (at least 1) run at once.
  explicit OrderedRuns(std::size_t jobs);
  // Waits for every task and writes every block.
  ~OrderedRuns();
  OrderedRuns(const OrderedRuns&) = delete;
  OrderedRuns& operator=(const OrderedRuns&) = delete;

  // Called on one thread, whose report text goes to standard output.
  // Adds a block that begins with `lead`; `task`, when given, runs on a new
  // thread and writes the rest of it. Waits, writing blocks meanwhile, until
  // fewer than `jobs` tasks run. An exception that a task lets out is lost;
  // tasks catch their own.
  void add(std::string lead, std::function<void()> task = {});
  // Waits for every task and writes every block; no task runs afterwards.
  void finish();

 private:
  struct Block;
  // Writes what the blocks at the front hold, and takes off those whose task
  // has ended; the lock is let go while writing.
  void writeReady(std::unique_lock<std::mutex>& lock);

  const std::size_t jobs_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::unique_ptr<Block>> blocks_;  // not yet written whole, in order
  std::size_t running_ = 0;
};

}  // namespace Orvel::Verifier
