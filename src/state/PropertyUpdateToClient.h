// Server to client: a property's new value and the role of the client whose
// write produced it.
#pragma once
#include <string>

#include "ipc/FieldList.h"
#include "state/ClientRole.h"

namespace Orvel::State::Messages {

struct PropertyUpdateToClient {
  static constexpr const char* messageName = "PropertyUpdateToClient";
  std::string key;
  std::string value;
  ClientRole writer = ClientRole::UNKNOWN;

  static void describeFields(FieldList<PropertyUpdateToClient>& fields) {
    fields.add(&PropertyUpdateToClient::key);
    fields.add(&PropertyUpdateToClient::value);
    fields.add(&PropertyUpdateToClient::writer);
  }
};

}  // namespace Orvel::State::Messages
