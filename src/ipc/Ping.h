#pragma once
#include "ipc/EmptyMessage.h"

namespace Orvel::IPC::InternalMessages {

// Sent by the client every second while connected; an empty payload.
struct Ping : EmptyMessage<Ping> {
  static constexpr const char* messageName = "Ping";
};

}  // namespace Orvel::IPC::InternalMessages
