// Client to server: the client is alive (at most once a second). Empty field list.
#pragma once
#include "ipc/EmptyMessage.h"

namespace Orvel::State::Messages {

struct ComponentHeartbeat : EmptyMessage<ComponentHeartbeat> {
  static constexpr const char* messageName = "ComponentHeartbeat";
};

}  // namespace Orvel::State::Messages
