// Client to server: the client is alive (at most once a second). Empty field list.
#pragma once
#include "ipc/FieldList.h"

namespace Orvel::State::Messages {

struct ComponentHeartbeat {
  static constexpr const char* messageName = "ComponentHeartbeat";
  static void describeFields(FieldList<ComponentHeartbeat>&) {}
};

}  // namespace Orvel::State::Messages
