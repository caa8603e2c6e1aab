// Client to server: the client is ready (or no longer). Sent as its 8-byte
// memory image: byte 0 the flag (1 ready, 0 not), bytes 1..7 zero.
#pragma once
#include <cstdint>
#include <type_traits>

namespace Orvel::State::Messages {

struct NotifyPropertyClientStatus {
  static constexpr const char* messageName = "NotifyPropertyClientStatus";
  // A byte, not a bool: a peer's image may hold any value there, and a bool
  // holding neither 0 nor 1 is undefined behaviour. Any value but 0 is ready.
  std::uint8_t ready = 0;
  std::uint8_t unused[7] = {};
};

static_assert(sizeof(NotifyPropertyClientStatus) == 8, "the peer reads an 8-byte image");
static_assert(std::is_trivially_copyable_v<NotifyPropertyClientStatus>);

}  // namespace Orvel::State::Messages
