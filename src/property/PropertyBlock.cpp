#include "property/PropertyBlock.h"

#include <new>

namespace Orvel::State {

PropertyBlock::PropertyBlock(std::size_t capacity) : slots_(new Slot[capacity]) {}

PropertyBlock::~PropertyBlock() {
  while (size_ > 0) property(--size_).~SourceAwareProperty();
}

std::shared_ptr<PropertyBlock> PropertyBlock::create(ClientRole ownerRole,
                                                     const std::vector<const PropertyCatalogue::value_type*>& entries) {
  std::shared_ptr<PropertyBlock> block(new PropertyBlock(entries.size()));
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const auto& [key, definition] = *entries[i];
    if (definition.key == key) {
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
