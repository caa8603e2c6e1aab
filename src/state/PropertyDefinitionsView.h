// The PropertyDefinitions message read in place, for a receiver that copies
// what it keeps into storage of its own: each row's texts and writers are
// views of the received payload, valid only while the handler runs. Taking
// the 439 rows of a catalogue this way makes no string, vector or map node,
// and stores no row: decode checks the whole payload, and the rows are read
// from it again as they are visited.
//
// It accepts and refuses exactly the payloads that PropertyDefinitions does;
// a refused payload is decoded once more as PropertyDefinitions, so that the
// log says why in the same words. Rows keep the wire order, repeated keys
// included: a receiver takes the first row of a key, as the map does.
#pragma once
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "ipc/PayloadReader.h"
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

  // The rows in wire order, each read from the payload when the iteration
  // reaches it. A row seen through an iterator lasts until it moves on.
  class Rows {
   public:
    class iterator {
     public:
      using iterator_category = std::input_iterator_tag;
      using value_type = Row;
      using difference_type = std::ptrdiff_t;
      using pointer = const Row*;
      using reference = const Row&;

      const Row& operator*() const { return row_; }
      const Row* operator->() const { return &row_; }
      iterator& operator++();
      bool operator==(const iterator& other) const { return left_ == other.left_; }
      bool operator!=(const iterator& other) const { return left_ != other.left_; }

     private:
      friend class Rows;
      iterator(const std::uint8_t* first, std::uint32_t bytes, std::uint32_t rows);

      PayloadReader reader_;
      std::uint32_t left_;  // the rows not yet passed, this one included
      Row row_;
    };

    iterator begin() const { return iterator(first_, bytes_, count_); }
    iterator end() const { return iterator(nullptr, 0, 0); }
    std::uint32_t size() const { return count_; }
    bool empty() const { return count_ == 0; }

   private:
    friend struct PropertyDefinitionsView;
    const std::uint8_t* first_ = nullptr;  // where the first row starts
    std::uint32_t bytes_ = 0;              // from there to the payload's end
    std::uint32_t count_ = 0;
  };

  const std::uint8_t* payload = nullptr;
  std::uint32_t size = 0;
  Rows rows;  // empty when decode refused the payload

  static bool decode(const std::uint8_t* payload, std::uint32_t size, PropertyDefinitionsView& message);
};

}  // namespace Orvel::State::Messages
