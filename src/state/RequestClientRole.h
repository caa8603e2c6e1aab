// Server to client: the server asks for the client's role. Empty field list.
#pragma once
#include "ipc/EmptyMessage.h"

namespace Orvel::State::Messages {

struct RequestClientRole : EmptyMessage<RequestClientRole> {
  static constexpr const char* messageName = "RequestClientRole";
};

}  // namespace Orvel::State::Messages
