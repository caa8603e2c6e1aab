// Reads a payload's little-endian fields in place, with bounds checks and
// silently: for decoders that hand out views of the received bytes and leave
// the words of a failure to the ordinary decoder of the same message.
#pragma once
#include <cstdint>
#include <cstring>
#include <string_view>

namespace Orvel {

class PayloadReader {
 public:
  PayloadReader(const std::uint8_t* data, std::uint32_t size) : data_(data), left_(size) {}

  std::uint32_t left() const { return left_; }

  bool bytes(std::uint32_t count, const std::uint8_t*& start) {
    if (count > left_) return false;
    start = data_;
    data_ += count;
    left_ -= count;
    return true;
  }

  template <typename Integer>
  bool integer(Integer& value) {
    const std::uint8_t* start = nullptr;
    if (!bytes(sizeof(Integer), start)) return false;
    std::memcpy(&value, start, sizeof(Integer));
    return true;
  }

  bool flag(bool& value) {
    std::uint8_t byte = 0;
    if (!integer(byte)) return false;
    value = byte != 0;
    return true;
  }

  bool text(std::string_view& value) {
    std::uint32_t length = 0;
    const std::uint8_t* start = nullptr;
    if (!integer(length) || !bytes(length, start)) return false;
    value = std::string_view(reinterpret_cast<const char*>(start), length);
    return true;
  }

 private:
  const std::uint8_t* data_;
  std::uint32_t left_;
};

}  // namespace Orvel
