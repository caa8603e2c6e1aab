// Client to server: the answer to RequestClientRole. Sent as its 8-byte
// memory image: bytes 0..3 the role, bytes 4..7 zero.
#pragma once
#include <cstdint>
#include <type_traits>

#include "state/ClientRole.h"

namespace Orvel::State::Messages {

struct ResponseClientRole {
  static constexpr const char* messageName = "ResponseClientRole";
  ClientRole role = ClientRole::UNKNOWN;
  std::uint32_t unused = 0;
};

static_assert(sizeof(ResponseClientRole) == 8, "the peer reads an 8-byte image");
static_assert(std::is_trivially_copyable_v<ResponseClientRole>);

}  // namespace Orvel::State::Messages
