#include "property/PropertyBlock.h"

#include <new>

namespace Orvel::State {

PropertyBlock::PropertyBlock(std::size_t capacity) : slots_(new Slot[capacity]) {}

PropertyBlock::~PropertyBlock() {
  while (size_ > 0) property(--size_).~SourceAwareProperty();
}

std::shared_ptr<PropertyBlock> PropertyBlock::create(ClientRole ownerRole, const PropertyCatalogue& catalogue) {
  std::shared_ptr<PropertyBlock> block(new PropertyBlock(catalogue.size()));
  // The process-wide catalogue is never destroyed: its rows' texts are
  // shared, not copied. The rows of any other catalogue may die first.
  const bool lasting = &catalogue == &getPropertyDefinitions();
  std::size_t i = 0;
  for (const auto& [key, definition] : catalogue) {
    if (lasting) {
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
    block->size_ = ++i;
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
