// Little-endian building blocks for payloads that tests write by hand.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace Orvel::Test {

using WireBytes = std::vector<std::uint8_t>;

inline void putU32(WireBytes& bytes, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}
inline void putU64(WireBytes& bytes, std::uint64_t value) {
  for (int i = 0; i < 8; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}
// A uint32 byte count, then the bytes.
inline void putString(WireBytes& bytes, const std::string& text) {
  putU32(bytes, static_cast<std::uint32_t>(text.size()));
  bytes.insert(bytes.end(), text.begin(), text.end());
}

}  // namespace Orvel::Test
