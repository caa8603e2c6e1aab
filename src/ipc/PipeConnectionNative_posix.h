// The handles of a server-side connection on Linux; shared by the server,
// which creates connections, and the connection itself.
#pragma once
#include <atomic>
#include <chrono>

#include "ipc/PipeConnection.h"

namespace Orvel {

struct PipeConnection::Native {
  int fd = -1;
  std::atomic<bool> closed{false};
};

// Waits until fd is readable or bound has passed, going on after signals:
// what poll returns (1 readable, 0 time out, -1 error).
int waitReadable(int fd, std::chrono::milliseconds bound);

}  // namespace Orvel
