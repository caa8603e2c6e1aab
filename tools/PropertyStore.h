// The server's properties: every catalogue definition (less the omitted
// ones) with its current value. Writes follow the same writer rules as every
// client's properties, by the role of the writing client.
//
// Not thread-safe: the server calls it under its own mutex.
#pragma once
#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "property/Property.h"
#include "property/PropertyCatalogue.h"
#include "state/ClientRole.h"
#include "state/PropertyDefinitions.h"

namespace Orvel::Tools {

class PropertyStore {
 public:
  enum class WriteResult { Changed, Unchanged, UnknownKey, NotAllowed };

  explicit PropertyStore(const State::PropertyCatalogue& catalogue);

  std::size_t size() const { return entries_.size(); }
  bool contains(const std::string& key) const { return entries_.count(key) != 0; }
  std::string value(const std::string& key) const;

  // Changes made before serving; false for a key the store does not hold.
  bool omit(const std::string& key);
  bool setWriters(const std::string& key, const std::vector<State::ClientRole>& writers);
  bool setValue(const std::string& key, const std::string& value);

  // Every definition with its current value in the defaultValue field.
  State::Messages::PropertyDefinitions definitions() const;

  // A client's write. previous receives the value before it.
  WriteResult write(State::ClientRole writer, const std::string& key, const std::string& value,
                    std::string& previous);

 private:
  struct Entry {
    State::Messages::PropertyDefinition definition;  // defaultValue unused: the property holds the value
    std::unique_ptr<State::Property> property;
  };

  // Gives the property the definition's writers and value, as a client
  // initializes its properties from the server's definitions.
  static void apply(Entry& entry, const std::string& value);

  std::map<std::string, Entry> entries_;
};

}  // namespace Orvel::Tools
