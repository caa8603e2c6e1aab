// The handles of a server-side connection on Windows; shared by the server,
// which creates connections, and the connection itself.
#pragma once
#include <atomic>
#include <cstdint>
#include <vector>

#include "ipc/PipeConnection.h"
#include "platform/UniqueHandle_win32.h"

namespace Orvel {

struct PipeConnection::Native {
  // The connected pipe instance. close takes it out first with one exchange,
  // so that a read racing with it sees the invalid handle, and closes it
  // through a UniqueHandle.
  std::atomic<HANDLE> pipe{INVALID_HANDLE_VALUE};
  platform::UniqueHandle readEvent{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  platform::UniqueHandle writeEvent{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  // A write that writeAvailable left to the system because the client had
  // not made room for it: it writes from pendingBytes, its own copy, and
  // every later write waits for it to end first.
  OVERLAPPED pendingWrite{};
  std::vector<std::uint8_t> pendingBytes;
  bool writePending = false;
};

}  // namespace Orvel
