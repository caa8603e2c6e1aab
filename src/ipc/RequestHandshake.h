#pragma once
#include <string>

#include "ipc/FieldList.h"

namespace Orvel::IPC::InternalMessages {

// Sent by the client once per connection, introducing itself by name.
struct RequestHandshake {
  static constexpr const char* messageName = "RequestHandshake";
  std::string clientName;
  static void describeFields(FieldList<RequestHandshake>& fields) { fields.add(&RequestHandshake::clientName); }
};

}  // namespace Orvel::IPC::InternalMessages
