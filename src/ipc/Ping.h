#pragma once
#include "ipc/FieldList.h"

namespace Orvel::IPC::InternalMessages {

// Sent by the client every second while connected; an empty payload.
struct Ping {
  static constexpr const char* messageName = "Ping";
  static void describeFields(FieldList<Ping>&) {}
};

}  // namespace Orvel::IPC::InternalMessages
