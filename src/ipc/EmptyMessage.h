// The field list of a message that carries nothing but its name: empty, so
// the payload is empty. A message type derives from EmptyMessage<itself> and
// declares only its messageName.
#pragma once
#include "ipc/FieldList.h"

namespace Orvel {

template <typename Message>
struct EmptyMessage {
  static void describeFields(FieldList<Message>&) {}
};

}  // namespace Orvel
