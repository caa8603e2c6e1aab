// Client to server: reset every persistent property to its default. Empty field list.
#pragma once
#include "ipc/FieldList.h"

namespace Orvel::State::Messages {

struct RequestResetPersistentProperties {
  static constexpr const char* messageName = "RequestResetPersistentProperties";
  static void describeFields(FieldList<RequestResetPersistentProperties>&) {}
};

}  // namespace Orvel::State::Messages
