// The handles of a server-side connection on Linux; shared by the server,
// which creates connections, and the connection itself.
#pragma once
#include <atomic>

#include "ipc/PipeConnection.h"

namespace Orvel {

struct PipeConnection::Native {
  int fd = -1;
  std::atomic<bool> closed{false};
};

}  // namespace Orvel
