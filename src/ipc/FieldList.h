// The ordered field list of a message type: one serializer and one
// deserializer per data member, run in list order.
#pragma once
#include <functional>
#include <vector>

#include "ipc/BinaryDeserializer.h"
#include "ipc/BinarySerializer.h"
#include "ipc/FieldListTraits.h"

namespace Orvel {

// One field: how to append it to a payload and how to read it back.
template <typename T>
struct FieldEntry {
  std::function<void(BinarySerializer&, const T&)> serialize;
  std::function<bool(BinaryDeserializer&, T&)> deserialize;
};

template <typename T>
class FieldList {
 public:
  // Appends the field for one data member; its encoding follows the member's type.
  template <typename M>
  void add(M T::*member) {
    entries_.push_back(FieldEntry<T>{
        [member](BinarySerializer& serializer, const T& message) { serializer.serialize(message.*member); },
        [member](BinaryDeserializer& deserializer, T& message) { return deserializer.deserialize(message.*member); }});
  }

  const std::vector<FieldEntry<T>>& entries() const { return entries_; }

  // T's list as T::describeFields builds it.
  static FieldList describe() {
    FieldList list;
    T::describeFields(list);
    return list;
  }

  // One shared list per type, for values of T nested inside other values.
  static const FieldList& shared() {
    static const FieldList list = describe();
    return list;
  }

 private:
  std::vector<FieldEntry<T>> entries_;
};

}  // namespace Orvel
