// The handles of a server-side connection on Windows; shared by the server,
// which creates connections, and the connection itself.
#pragma once
#include <atomic>

#include "platform/windows_include.h"
#include "ipc/PipeConnection.h"

namespace Orvel {

struct PipeConnection::Native {
  std::atomic<HANDLE> pipe{INVALID_HANDLE_VALUE};
  HANDLE readEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE writeEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
};

}  // namespace Orvel
