// The PropertyUpdateToClient message read in place, for a receiver that
// copies what it keeps: the key and value are views of the received payload,
// valid only while the handler runs. A large value then reaches the handler
// without being copied on the way.
//
// It accepts and refuses exactly the payloads that PropertyUpdateToClient
// does; a refused payload is decoded once more as PropertyUpdateToClient, so
// that the log says why in the same words.
#pragma once
#include <cstdint>
#include <string_view>

#include "state/ClientRole.h"
#include "state/PropertyUpdateToClient.h"

namespace Orvel::State::Messages {

struct PropertyUpdateToClientView {
  static constexpr const char* messageName = PropertyUpdateToClient::messageName;
  std::string_view key;
  std::string_view value;
  ClientRole writer = ClientRole::UNKNOWN;

  // The update as an owned message.
  PropertyUpdateToClient toMessage() const;

  static bool decode(const std::uint8_t* payload, std::uint32_t size, PropertyUpdateToClientView& message);
};

}  // namespace Orvel::State::Messages
