#pragma once
#include <cstdint>

namespace Orvel::IPC::InternalMessages {

// The server's answer to RequestHandshake, an 8-byte memory image. Only its
// arrival matters; the server value is stored and not used otherwise.
struct ResponseHandshake {
  static constexpr const char* messageName = "ResponseHandshake";
  std::int32_t serverValue = 0;
  std::int32_t reserved = 0;  // ignored
};
static_assert(sizeof(ResponseHandshake) == 8, "ResponseHandshake travels as exactly 8 bytes");

}  // namespace Orvel::IPC::InternalMessages
