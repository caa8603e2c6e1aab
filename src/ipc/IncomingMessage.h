// One received frame: its name and its payload.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace Orvel {

struct IncomingMessage {
  std::string name;
  std::vector<std::uint8_t> payload;
};

}  // namespace Orvel
