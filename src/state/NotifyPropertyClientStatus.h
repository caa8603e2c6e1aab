// Client to server: the client is ready (or no longer). Sent as its 8-byte
// memory image: byte 0 the flag (1 ready, 0 not), bytes 1..7 zero.
#pragma once
#include <cstdint>
#include <type_traits>

namespace Orvel::State::Messages {

struct NotifyPropertyClientStatus {
  static constexpr const char* messageName = "NotifyPropertyClientStatus";
  bool ready = false;
  std::uint8_t unused[7] = {};
};

static_assert(sizeof(NotifyPropertyClientStatus) == 8, "the peer reads an 8-byte image");
static_assert(std::is_trivially_copyable_v<NotifyPropertyClientStatus>);

}  // namespace Orvel::State::Messages
