// Writes message values as payload bytes: little-endian, exact widths, no
// alignment, no tags. Strings, vectors and maps carry a uint32 count first.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "ipc/FieldListTraits.h"

namespace Orvel {

namespace detail {
template <typename T>
struct IsVector : std::false_type {};
template <typename E, typename A>
struct IsVector<std::vector<E, A>> : std::true_type {};

template <typename T>
struct IsUnorderedMap : std::false_type {};
template <typename K, typename V, typename H, typename E, typename A>
struct IsUnorderedMap<std::unordered_map<K, V, H, E, A>> : std::true_type {};
}  // namespace detail

// Owns one growing byte vector; every write appends to it and never fails.
// Not thread-safe: one serializer per payload.
class BinarySerializer {
 public:
  // Appends one value, encoded by its type:
  // - bool: one byte, 0 or 1; char: one byte;
  // - integers and enumerations: their bytes, little-endian (4 bytes for
  //   int32, uint32 and 32-bit enumerations, 8 for int64);
  // - std::string: uint32 length, then the bytes;
  // - std::vector: uint32 count, then each element;
  // - std::unordered_map: uint32 count, then key and value of each entry in
  //   the map's iteration order;
  // - a type with a field list: its fields in list order;
  // - any other trivially copyable type: its memory image.
  // A size above 2^32 - 1 keeps only its low 32 bits; callers never produce one.
  template <typename T>
  void serialize(const T& value);

  // The bytes written so far.
  const std::vector<std::uint8_t>& bytes() const { return bytes_; }
  // Hands the bytes over and leaves the serializer empty.
  std::vector<std::uint8_t> takeBytes();

 private:
  void append(const void* data, std::size_t size);
  void appendCount(std::size_t count);

  std::vector<std::uint8_t> bytes_;
};

template <typename T>
void BinarySerializer::serialize(const T& value) {
  if constexpr (std::is_same_v<T, bool>) {
    const std::uint8_t byte = value ? 1 : 0;
    append(&byte, 1);
  } else if constexpr (std::is_arithmetic_v<T> || std::is_enum_v<T>) {
    // The only target is x86-64, so the host order is the wire order.
    append(&value, sizeof(T));
  } else if constexpr (std::is_same_v<T, std::string>) {
    appendCount(value.size());
    if (!value.empty()) append(value.data(), value.size());
  } else if constexpr (detail::IsVector<T>::value) {
    appendCount(value.size());
    for (const auto& element : value) serialize(static_cast<const typename T::value_type&>(element));
  } else if constexpr (detail::IsUnorderedMap<T>::value) {
    appendCount(value.size());
    for (const auto& entry : value) {
      serialize(entry.first);
      serialize(entry.second);
    }
  } else if constexpr (hasFieldList<T>) {
    for (const auto& field : FieldList<T>::shared().entries()) field.serialize(*this, value);
  } else {
    static_assert(std::is_trivially_copyable_v<T>, "a type without a field list is sent as its memory image");
    append(&value, sizeof(T));
  }
}

}  // namespace Orvel
