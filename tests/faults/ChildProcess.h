// A program started as a child process whose standard output the parent
// reads; its standard input and error are the null device. One
// implementation per platform sits beside this header.
#pragma once
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace Orvel::Test {

class ChildProcess {
 public:
  // Starts program with the arguments. isRunning tells whether it started.
  ChildProcess(const std::string& program, const std::vector<std::string>& arguments);
  // Kills the process if it still runs.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool started() const;
  // Reads up to size bytes of the child's standard output, blocking; 0 once
  // the child has ended and everything it wrote has been read. One thread
  // at a time may read.
  std::size_t readOutput(char* buffer, std::size_t size);
  // Ends the process at once, as a crash would (SIGKILL, TerminateProcess),
  // and waits until it has ended. Nothing happens when it has ended already.
  void kill();

 private:
  struct Native;
  std::unique_ptr<Native> native_;
};

}  // namespace Orvel::Test
