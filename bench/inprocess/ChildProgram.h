// A program run as a child process for a benchmark: its standard output is
// read line by line on a thread of its own (so that it never blocks on a full
// pipe), its standard error is the benchmark's. The child is killed when this
// object goes, and also when the benchmark process dies first.
#pragma once
#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace Orvel::Bench {

class ChildProgram {
 public:
  ChildProgram(const std::string& program, const std::vector<std::string>& arguments);
  // Kills the child if it still runs and waits for it.
  ~ChildProgram();
  ChildProgram(const ChildProgram&) = delete;
  ChildProgram& operator=(const ChildProgram&) = delete;

  bool started() const { return pid_ > 0; }
  // Waits until the child has printed a line that begins with prefix. False
  // when its output ended first or bound passed.
  bool waitForLineStartingWith(const std::string& prefix, std::chrono::milliseconds bound);

 private:
  void readLines(int fd);

  pid_t pid_ = -1;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> lines_;  // kept until a waiter has seen them; few lines are waited for
  bool ended_ = false;
  std::thread reader_;
};

}  // namespace Orvel::Bench
