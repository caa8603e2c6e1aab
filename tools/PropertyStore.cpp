#include "PropertyStore.h"

#include <mutex>

namespace Orvel::Tools {

using State::ClientRole;

PropertyStore::PropertyStore(const State::PropertyCatalogue& catalogue) {
  for (const auto& [key, definition] : catalogue) {
    Entry entry{definition, std::make_unique<State::Property>(ClientRole::PROPERTY_SERVER, definition)};
    entry.definition.key = key;
    apply(entry, definition.defaultValue);
    entries_.emplace(key, std::move(entry));
  }
}

void PropertyStore::apply(Entry& entry, const std::string& value) {
  const auto& definition = entry.definition;
  entry.property->initialize(definition.writers, value, definition.type, definition.version, definition.persistent);
}

std::string PropertyStore::value(const std::string& key) const {
  const auto found = entries_.find(key);
  return found == entries_.end() ? std::string() : found->second.property->getStringValue();
}

bool PropertyStore::omit(const std::string& key) { return entries_.erase(key) != 0; }

bool PropertyStore::setWriters(const std::string& key, const std::vector<ClientRole>& writers) {
  const auto found = entries_.find(key);
  if (found == entries_.end()) return false;
  found->second.definition.writers = writers;
  apply(found->second, found->second.property->getStringValue());
  return true;
}

bool PropertyStore::setValue(const std::string& key, const std::string& value) {
  const auto found = entries_.find(key);
  if (found == entries_.end()) return false;
  apply(found->second, value);
  return true;
}

State::Messages::PropertyDefinitions PropertyStore::definitions() const {
  State::Messages::PropertyDefinitions message;
  for (const auto& [key, entry] : entries_) {
    State::Messages::PropertyDefinition definition = entry.definition;
    definition.defaultValue = entry.property->getStringValue();
    definition.changeFormatter = nullptr;  // never on the wire
    message.definitions.emplace(key, std::move(definition));
  }
  return message;
}

PropertyStore::WriteResult PropertyStore::write(ClientRole writer, const std::string& key, const std::string& value,
                                                std::string& previous) {
  const auto found = entries_.find(key);
  if (found == entries_.end()) return WriteResult::UnknownKey;
  State::Property& property = *found->second.property;
  std::lock_guard<std::recursive_mutex> lock(property.getMutex());
  previous = property.getStringValue();
  if (property.setStringValue(writer, value)) return WriteResult::Changed;
  // A write of the current value changes nothing, whichever the writer;
  // any other write that left the value alone was refused.
  return previous == value ? WriteResult::Unchanged : WriteResult::NotAllowed;
}

}  // namespace Orvel::Tools
