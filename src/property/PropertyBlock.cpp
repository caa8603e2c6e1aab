#include "property/PropertyBlock.h"

#include <algorithm>
#include <new>

namespace Orvel::State {

PropertyBlock::PropertyBlock(std::size_t capacity) : slots_(new Slot[capacity]) {}

PropertyBlock::~PropertyBlock() {
  while (size_ > 0) property(--size_).~SourceAwareProperty();
}

std::shared_ptr<PropertyBlock> PropertyBlock::create(ClientRole ownerRole,
                                                     const std::vector<const PropertyCatalogue::value_type*>& entries) {
  std::shared_ptr<PropertyBlock> block(new PropertyBlock(entries.size()));
  // The process-wide catalogue is never destroyed: when the entries are its
  // rows (in its order, as a client made from it lists them), their texts are
  // shared, not copied. The rows of any other catalogue may die first.
  const PropertyCatalogue& lasting = getPropertyDefinitions();
  const bool lastingRows =
      entries.size() == lasting.size() &&
      std::equal(entries.begin(), entries.end(), lasting.begin(),
                 [](const PropertyCatalogue::value_type* entry, const PropertyCatalogue::value_type& row) {
                   return entry == &row;
                 });
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const auto& [key, definition] = *entries[i];
    if (lastingRows) {
      new (&block->slots_[i]) SourceAwareProperty(ownerRole, Property::LastingRow{&key, &definition});
    } else if (definition.key == key) {
      new (&block->slots_[i]) SourceAwareProperty(ownerRole, definition);
    } else {
      Messages::PropertyDefinition renamed = definition;
      renamed.key = key;
      new (&block->slots_[i]) SourceAwareProperty(ownerRole, renamed);
    }
    // Counted once built: a constructor that throws leaves the block
    // destroying only what it holds.
    ++block->size_;
  }
  return block;
}

SourceAwareProperty& PropertyBlock::property(std::size_t i) {
  return *std::launder(reinterpret_cast<SourceAwareProperty*>(&slots_[i]));
}

std::shared_ptr<SourceAwareProperty> PropertyBlock::at(const std::shared_ptr<PropertyBlock>& block, std::size_t i) {
  return std::shared_ptr<SourceAwareProperty>(block, &block->property(i));
}

}  // namespace Orvel::State
