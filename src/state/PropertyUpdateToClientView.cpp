#include "state/PropertyUpdateToClientView.h"

#include "ipc/MessageCodec.h"
#include "ipc/PayloadReader.h"

namespace Orvel::State::Messages {

PropertyUpdateToClient PropertyUpdateToClientView::toMessage() const {
  PropertyUpdateToClient message;
  message.key = key;
  message.value = value;
  message.writer = writer;
  return message;
}

bool PropertyUpdateToClientView::decode(const std::uint8_t* payload, std::uint32_t size,
                                        PropertyUpdateToClientView& message) {
  static_assert(sizeof(ClientRole) == 4, "a role travels as 4 bytes");
  PayloadReader reader(payload, size);
  std::uint32_t writer = 0;
  if (reader.text(message.key) && reader.text(message.value) && reader.integer(writer)) {
    message.writer = static_cast<ClientRole>(writer);
    return true;
  }
  // Only to log the failure as the receiver of PropertyUpdateToClient does.
  PropertyUpdateToClient refused;
  decodeMessage(payload, size, refused);
  message = PropertyUpdateToClientView();
  return false;
}

}  // namespace Orvel::State::Messages
