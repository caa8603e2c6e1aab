// Reads message values back from a payload with bounds checks. Every failing
// read returns false and logs why at error level, under the function name
// Orvel::BinaryDeserializer::deserialize_impl; it never throws on bad input.
#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>
#include <typeinfo>
#include <utility>

#include "ipc/BinarySerializer.h"
#include "ipc/FieldListTraits.h"
#include "logging/Log.h"

namespace Orvel {

// Reads from a payload it does not own: the bytes must outlive it.
// Not thread-safe: one deserializer per payload.
class BinaryDeserializer {
 public:
  BinaryDeserializer(const void* data, std::uint32_t size);

  // Reads one value encoded as BinarySerializer::serialize writes it.
  // - A fixed-width value (bool, char, integer, enumeration, memory image)
  //   is written into target only on success; a short payload logs
  //   "Not enough data to deserialize <type> - dataLeft: <n>, required: <m>"
  //   and leaves the position where it was.
  // - A bool is true for any byte other than 0.
  // - Strings, vectors and maps replace target with the decoded elements.
  //   A failed count logs "Failed to deserialize length of <type>"; a failed
  //   element i logs "Failed to deserialize <i>-th element of <type>" and
  //   target keeps the elements read before it. A map keeps the first of
  //   repeated keys.
  // - A type with a field list reads its fields in order and stops at the
  //   first that fails.
  // <type> is the run-time type name (typeid(...).name()).
  template <typename T>
  bool deserialize(T& target) {
    return deserialize_impl(target);
  }

  std::uint32_t size() const { return size_; }
  std::uint32_t position() const { return position_; }
  std::uint32_t dataLeft() const { return size_ - position_; }

 private:
  template <typename T>
  bool deserialize_impl(T& target);

  // Copies size bytes to target and advances, or logs the shortage.
  bool deserialize_impl(void* target, std::size_t size, const char* typeName);

  // The most map entries reserved before they are read.
  static constexpr std::size_t kLargestMapReservation = 65536;

  const std::uint8_t* data_;
  std::uint32_t size_;
  std::uint32_t position_ = 0;
};

template <typename T>
bool BinaryDeserializer::deserialize_impl(T& target) {
  if constexpr (std::is_same_v<T, bool>) {
    // Any byte but 0 is true: copying a stray byte value into a bool would
    // leave it holding something that is neither true nor false.
    std::uint8_t byte = 0;
    if (!deserialize_impl(&byte, 1, typeid(bool).name())) return false;
    target = byte != 0;
    return true;
  } else if constexpr (std::is_arithmetic_v<T> || std::is_enum_v<T>) {
    return deserialize_impl(&target, sizeof(T), typeid(T).name());
  } else if constexpr (std::is_same_v<T, std::string>) {
    std::uint32_t length = 0;
    if (!deserialize_impl(&length, sizeof length, typeid(std::uint32_t).name())) {
      LOG_ERROR("Failed to deserialize length of %s", typeid(T).name());
      return false;
    }
    // One bulk copy of what is there; a shortfall is reported as the first
    // character that could not be read.
    const std::uint32_t available = length < dataLeft() ? length : dataLeft();
    target.assign(reinterpret_cast<const char*>(data_ + position_), available);
    position_ += available;
    if (available < length) {
      char missing = 0;
      deserialize_impl(&missing, 1, typeid(char).name());
      LOG_ERROR("Failed to deserialize %zu-th element of %s", static_cast<std::size_t>(available), typeid(T).name());
      return false;
    }
    return true;
  } else if constexpr (detail::IsVector<T>::value) {
    std::uint32_t count = 0;
    if (!deserialize_impl(&count, sizeof count, typeid(std::uint32_t).name())) {
      LOG_ERROR("Failed to deserialize length of %s", typeid(T).name());
      return false;
    }
    // No reservation from the count alone: a peer may announce far more than
    // it sends. Fixed-width elements can be counted against the bytes left,
    // which bounds the reservation by the payload itself.
    T result;
    using Element = typename T::value_type;
    if constexpr (std::is_arithmetic_v<Element> || std::is_enum_v<Element>) {
      result.reserve(std::min<std::size_t>(count, dataLeft() / sizeof(Element)));
    }
    for (std::uint32_t i = 0; i < count; ++i) {
      typename T::value_type element{};
      if (!deserialize_impl(element)) {
        LOG_ERROR("Failed to deserialize %zu-th element of %s", static_cast<std::size_t>(i), typeid(T).name());
        target = std::move(result);
        return false;
      }
      result.push_back(std::move(element));
    }
    target = std::move(result);
    return true;
  } else if constexpr (detail::IsUnorderedMap<T>::value) {
    std::uint32_t count = 0;
    if (!deserialize_impl(&count, sizeof count, typeid(std::uint32_t).name())) {
      LOG_ERROR("Failed to deserialize length of %s", typeid(T).name());
      return false;
    }
    // Buckets for the announced entries, as far as the bytes left could hold
    // them (every entry takes at least one) and never more than a bounded
    // number: growing the table entry by entry rehashes it again and again.
    T result;
    result.reserve(std::min<std::size_t>({count, dataLeft(), kLargestMapReservation}));
    for (std::uint32_t i = 0; i < count; ++i) {
      typename T::key_type key{};
      typename T::mapped_type value{};
      if (!deserialize_impl(key) || !deserialize_impl(value)) {
        LOG_ERROR("Failed to deserialize %zu-th element of %s", static_cast<std::size_t>(i), typeid(T).name());
        target = std::move(result);
        return false;
      }
      result.emplace(std::move(key), std::move(value));  // a repeated key keeps its first value
    }
    target = std::move(result);
    return true;
  } else if constexpr (hasFieldList<T>) {
    for (const auto& field : FieldList<T>::shared().entries()) {
      if (!field.deserialize(*this, target)) return false;
    }
    return true;
  } else {
    static_assert(std::is_trivially_copyable_v<T>, "a type without a field list is read as its memory image");
    return deserialize_impl(&target, sizeof(T), typeid(T).name());
  }
}

}  // namespace Orvel
