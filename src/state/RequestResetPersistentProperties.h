// Client to server: reset every persistent property to its default. Empty field list.
#pragma once
#include "ipc/EmptyMessage.h"

namespace Orvel::State::Messages {

struct RequestResetPersistentProperties : EmptyMessage<RequestResetPersistentProperties> {
  static constexpr const char* messageName = "RequestResetPersistentProperties";
};

}  // namespace Orvel::State::Messages
