// The properties of a catalogue, built side by side in one allocation: a
// client holds hundreds of them, and one block is made and freed far faster
// than one allocation per property. Each property handed out by at() shares
// the ownership of the whole block, so a property held by its user outlives
// the client that made it, as a property of its own would.
#pragma once
#include <cstddef>
#include <memory>
#include <string>

#include "property/PropertyCatalogue.h"
#include "property/SourceAwareProperty.h"

namespace Orvel::State {

class PropertyBlock {
 public:
  // The properties of the catalogue's rows, in its order, owned by
  // ownerRole; each is known by its row's key and holds its own texts.
  static std::shared_ptr<PropertyBlock> create(ClientRole ownerRole, const PropertyCatalogue& catalogue);
  // The properties of the program's own table, in its order, owned by
  // ownerRole: they refer to the table's keys and type names, which are
  // never destroyed.
  static std::shared_ptr<PropertyBlock> create(ClientRole ownerRole, const CatalogueTable& table);

  PropertyBlock(const PropertyBlock&) = delete;
  PropertyBlock& operator=(const PropertyBlock&) = delete;
  ~PropertyBlock();

  std::size_t size() const { return size_; }
  // Property i, sharing the ownership of the block.
  static std::shared_ptr<SourceAwareProperty> at(const std::shared_ptr<PropertyBlock>& block, std::size_t i);

 private:
  using Slot = std::aligned_storage_t<sizeof(SourceAwareProperty), alignof(SourceAwareProperty)>;

  explicit PropertyBlock(std::size_t capacity);
  // Builds the next property in place. A constructor that throws leaves the
  // block destroying only what it holds.
  template <typename... Arguments>
  void emplace(Arguments&&... arguments);
  SourceAwareProperty& property(std::size_t i);

  std::unique_ptr<Slot[]> slots_;
  std::size_t size_ = 0;  // the properties built so far
};

}  // namespace Orvel::State
