// The reference property server as a running process on the fixed pipe name,
// held under the pipe lock for its whole life. It serves every client of the
// set-mode figure in turn; its output is read (and dropped) all the time, so
// that it never blocks on a full pipe.
#pragma once
#include <sys/types.h>

#include <string>
#include <thread>

#include "FixedPipeLock.h"

namespace Orvel::Bench {

class ReferenceServer {
 public:
  // Starts the server and returns once it listens. Throws std::runtime_error
  // when it ends first or does not listen within a minute.
  explicit ReferenceServer(const std::string& program);
  // Stops the server and waits for its end.
  ~ReferenceServer();
  ReferenceServer(const ReferenceServer&) = delete;
  ReferenceServer& operator=(const ReferenceServer&) = delete;

 private:
  void drain();
  // Ends the process, then the reading of its output.
  void shutdown();

  FixedPipeLock lock_;
  pid_t pid_ = -1;
  int outFd_ = -1;
  int errFd_ = -1;
  std::thread drainer_;
};

}  // namespace Orvel::Bench
