// The handles of a server-side connection on Windows; shared by the server,
// which creates connections, and the connection itself.
#pragma once
#include <atomic>
#include <cstdint>
#include <vector>

#include "platform/windows_include.h"
#include "ipc/PipeConnection.h"

namespace Orvel {

struct PipeConnection::Native {
  std::atomic<HANDLE> pipe{INVALID_HANDLE_VALUE};
  HANDLE readEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE writeEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  // A write that writeAvailable left to the system because the client had
  // not made room for it: it writes from pendingBytes, its own copy, and
  // every later write waits for it to end first.
  OVERLAPPED pendingWrite{};
  std::vector<std::uint8_t> pendingBytes;
  bool writePending = false;
};

}  // namespace Orvel
