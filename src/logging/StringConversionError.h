#pragma once
#include <cstdint>
#include <stdexcept>

namespace strutil {

// Thrown by utf8ToWide / wideToUtf8; what() is "String conversion error: <code>"
// with the system's error code.
class StringConversionError : public std::runtime_error {
 public:
  explicit StringConversionError(std::uint32_t errorCode);
  std::uint32_t errorCode() const noexcept { return code_; }

 private:
  std::uint32_t code_;
};

}  // namespace strutil
