// A program run as a child process for a benchmark. Its standard output goes
// to a temporary file, which takes every line without waking a reader in the
// benchmark process (a pipe would, once per line, in the middle of the
// measured path); its standard error is the benchmark's. The child is killed
// when this object goes, and also when the benchmark process dies first.
#pragma once
#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace Orvel::Bench {

class ChildProgram {
 public:
  ChildProgram(const std::string& program, const std::vector<std::string>& arguments);
  // Kills the child if it still runs, waits for it and removes the file.
  ~ChildProgram();
  ChildProgram(const ChildProgram&) = delete;
  ChildProgram& operator=(const ChildProgram&) = delete;

  bool started() const { return pid_ > 0; }
  // Waits until the child has printed a line that begins with prefix. False
  // when bound passed first.
  bool waitForLineStartingWith(const std::string& prefix, std::chrono::milliseconds bound) const;

 private:
  pid_t pid_ = -1;
  std::string outputPath_;
};

}  // namespace Orvel::Bench
