#include "ipc/BinarySerializer.h"

namespace Orvel {

std::vector<std::uint8_t> BinarySerializer::takeBytes() {
  std::vector<std::uint8_t> taken = std::move(bytes_);
  bytes_.clear();
  return taken;
}

void BinarySerializer::append(const void* data, std::size_t size) {
  const auto* first = static_cast<const std::uint8_t*>(data);
  bytes_.insert(bytes_.end(), first, first + size);
}

void BinarySerializer::appendCount(std::size_t count) {
  const auto low = static_cast<std::uint32_t>(count);
  append(&low, sizeof low);
}

}  // namespace Orvel
