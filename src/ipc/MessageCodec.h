// Payload encoding of whole messages. A message type T declares
//     static constexpr const char* messageName = "T";   // its wire name
// and either a field list
//     static void describeFields(Orvel::FieldList<T>& fields) { fields.add(&T::a); fields.add(&T::b); }
// or nothing, in which case it must be trivially copyable and travels as its
// memory image of exactly sizeof(T) bytes. An empty describeFields gives an
// empty payload. A type with its own decode (ipc/FieldListTraits.h) is read
// by it.
#pragma once
#include <cstdint>
#include <vector>

#include "ipc/BinaryDeserializer.h"
#include "ipc/BinarySerializer.h"
#include "ipc/FieldList.h"

namespace Orvel {

// T's fields in list order, or T's memory image.
template <typename T>
std::vector<std::uint8_t> encodeMessage(const FieldList<T>& fields, const T& message) {
  BinarySerializer serializer;
  if constexpr (hasFieldList<T>) {
    for (const auto& field : fields.entries()) field.serialize(serializer, message);
  } else {
    serializer.serialize(message);
  }
  return serializer.takeBytes();
}

// Decodes T from a payload; bytes after the last field (or after the memory
// image) are ignored. False, after the deserializer's log lines, when the
// payload is too short for T.
template <typename T>
bool decodeMessage(const FieldList<T>& fields, const std::uint8_t* payload, std::uint32_t size, T& message) {
  if constexpr (hasOwnDecoder<T>) {
    return T::decode(payload, size, message);
  } else {
    BinaryDeserializer deserializer(payload, size);
    if constexpr (hasFieldList<T>) {
      for (const auto& field : fields.entries()) {
        if (!field.deserialize(deserializer, message)) return false;
      }
      return true;
    } else {
      return deserializer.deserialize(message);
    }
  }
}

// The same with T's shared field list.
template <typename T>
std::vector<std::uint8_t> encodeMessage(const T& message) {
  if constexpr (hasFieldList<T>) {
    return encodeMessage(FieldList<T>::shared(), message);
  } else {
    return encodeMessage(FieldList<T>{}, message);
  }
}

template <typename T>
bool decodeMessage(const std::uint8_t* payload, std::uint32_t size, T& message) {
  if constexpr (hasFieldList<T>) {
    return decodeMessage(FieldList<T>::shared(), payload, size, message);
  } else {
    return decodeMessage(FieldList<T>{}, payload, size, message);
  }
}

}  // namespace Orvel
