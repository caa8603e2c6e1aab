// Client to server: a value written by the client's own code.
#pragma once
#include <string>

#include "ipc/FieldList.h"

namespace Orvel::State::Messages {

struct PropertyUpdateToServer {
  static constexpr const char* messageName = "PropertyUpdateToServer";
  std::string key;
  std::string value;

  static void describeFields(FieldList<PropertyUpdateToServer>& fields) {
    fields.add(&PropertyUpdateToServer::key);
    fields.add(&PropertyUpdateToServer::value);
  }
};

}  // namespace Orvel::State::Messages
