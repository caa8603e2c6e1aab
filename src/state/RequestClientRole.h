// Server to client: the server asks for the client's role. Empty field list.
#pragma once
#include "ipc/FieldList.h"

namespace Orvel::State::Messages {

struct RequestClientRole {
  static constexpr const char* messageName = "RequestClientRole";
  static void describeFields(FieldList<RequestClientRole>&) {}
};

}  // namespace Orvel::State::Messages
