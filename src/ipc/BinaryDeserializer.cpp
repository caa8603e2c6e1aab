#include "ipc/BinaryDeserializer.h"

#include <cstring>

namespace Orvel {

BinaryDeserializer::BinaryDeserializer(const void* data, std::uint32_t size)
    : data_(static_cast<const std::uint8_t*>(data)), size_(data != nullptr ? size : 0) {}

bool BinaryDeserializer::deserialize_impl(void* target, std::size_t size, const char* typeName) {
  if (dataLeft() < size) {
    LOG_ERROR("Not enough data to deserialize %s - dataLeft: %zu, required: %zu", typeName,
              static_cast<std::size_t>(dataLeft()), size);
    return false;
  }
  if (size != 0) std::memcpy(target, data_ + position_, size);
  position_ += static_cast<std::uint32_t>(size);
  return true;
}

}  // namespace Orvel
