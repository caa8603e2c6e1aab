// Message types of the IPC tests, encoded as a field list.
#pragma once
#include <cstdint>
#include <string>

#include "ipc/FieldList.h"

namespace Orvel::Test {

// A key and a number: payload uint32 key length, key bytes, int32 value.
struct Update {
  static constexpr const char* messageName = "Update";
  std::string key;
  std::int32_t value = 0;
  static void describeFields(Orvel::FieldList<Update>& fields) {
    fields.add(&Update::key);
    fields.add(&Update::value);
  }
};

}  // namespace Orvel::Test
