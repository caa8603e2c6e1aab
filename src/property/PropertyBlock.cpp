#include "property/PropertyBlock.h"

#include <new>
#include <utility>

#include "platform/FreshPages.h"

namespace Orvel::State {

PropertyBlock::PropertyBlock(std::size_t capacity) : slots_(new Slot[capacity]) {
  // Every slot is written next: a catalogue's block spans dozens of pages.
  platform::makePagesPresent(slots_.get(), capacity * sizeof(Slot));
}

PropertyBlock::~PropertyBlock() {
  while (size_ > 0) property(--size_).~SourceAwareProperty();
}

template <typename... Arguments>
void PropertyBlock::emplace(Arguments&&... arguments) {
  new (&slots_[size_]) SourceAwareProperty(std::forward<Arguments>(arguments)...);
  ++size_;
}

std::shared_ptr<PropertyBlock> PropertyBlock::create(ClientRole ownerRole, const PropertyCatalogue& catalogue) {
  std::shared_ptr<PropertyBlock> block(new PropertyBlock(catalogue.size()));
  for (const auto& [key, definition] : catalogue) {
    if (definition.key == key) {
      block->emplace(ownerRole, definition);
    } else {
      Messages::PropertyDefinition renamed = definition;
      renamed.key = key;
      block->emplace(ownerRole, renamed);
    }
  }
  return block;
}

std::shared_ptr<PropertyBlock> PropertyBlock::create(ClientRole ownerRole, const CatalogueTable& table) {
  std::shared_ptr<PropertyBlock> block(new PropertyBlock(table.size));
  for (std::size_t i = 0; i < table.size; ++i) {
    const CatalogueRow& row = table.rows[i];
    block->emplace(ownerRole, Property::LastingRow{row.key.view(), row.type.text, row.defaultValue(),
                                                   row.writers.roles, row.writers.count, row.version, row.persistent});
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
