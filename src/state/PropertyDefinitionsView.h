// The PropertyDefinitions message read in place, for a receiver that copies
// what it keeps into storage of its own: each row's texts and writers are
// views of the received payload, valid only while the handler runs. Taking
// the 439 rows of a catalogue this way makes no string, vector or map node.
//
// It accepts and refuses exactly the payloads that PropertyDefinitions does;
// a refused payload is decoded once more as PropertyDefinitions, so that the
// log says why in the same words. Rows keep the wire order, repeated keys
// included: a receiver takes the first row of a key, as the map does.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "state/ClientRole.h"
#include "state/PropertyDefinition.h"

namespace Orvel::State::Messages {

struct PropertyDefinitionsView {
  static constexpr const char* messageName = "PropertyDefinitions";

  struct Row {
    std::string_view mapKey;  // the key the row is filed under
    const std::uint8_t* writers = nullptr;  // writerCount 32-bit roles, little-endian
    std::uint32_t writerCount = 0;
    std::string_view key;
    std::string_view type;
    std::string_view defaultValue;
    std::uint64_t version = 0;
    bool persistent = false;
    bool loggable = false;

    // Replaces roles with the row's writers.
    void copyWritersTo(std::vector<ClientRole>& roles) const;
    // The row as an owned definition (key from the row's key field).
    PropertyDefinition toDefinition() const;
  };

  const std::uint8_t* payload = nullptr;
  std::uint32_t size = 0;
  std::vector<Row> rows;

  static bool decode(const std::uint8_t* payload, std::uint32_t size, PropertyDefinitionsView& message);
};

}  // namespace Orvel::State::Messages
