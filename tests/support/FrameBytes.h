// The bytes of one frame as the project's encoder writes them, for tests
// that send frames by hand, join them with other bytes or damage them.
#pragma once
#include <cstdint>
#include <string>

#include "ipc/LayerByteMessage.h"
#include "support/WireBytes.h"

namespace Orvel::Test {

inline WireBytes frameBytes(const std::string& name, const WireBytes& payload) {
  return LayerByteMessage(name, payload.data(), static_cast<std::uint32_t>(payload.size())).bytes();
}

}  // namespace Orvel::Test
