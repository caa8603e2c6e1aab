// A message type's parser as the registry and the handler thread see it.
#pragma once
#include "ipc/IncomingMessage.h"

namespace Orvel {

class ILayerByteMessageParser {
 public:
  virtual ~ILayerByteMessageParser() = default;
  // Decodes the payload and hands the value to every live handler.
  virtual void parseMessage(const IncomingMessage& message) = 0;
};

}  // namespace Orvel
