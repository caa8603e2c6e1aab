// The description of one property: who may write it, its type name, its
// initial value and flags. The catalogue holds one per known key; the server
// sends its own in PropertyDefinitions, where defaultValue carries the
// property's current value and there is no change formatter.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ipc/FieldList.h"
#include "state/ClientRole.h"

namespace Orvel::State::Messages {

// Describes a change of value (old text, new text) for a log line.
using ChangeFormatter = std::function<std::string(const std::string& oldValue, const std::string& newValue)>;

struct PropertyDefinition {
  std::vector<ClientRole> writers;  // may be empty: then only PROPERTY_UTIL and PROPERTY_SERVER write
  std::string key;
  std::string type;          // the value type's name, e.g. "bool", "Orvel::TrackedDeviceData"
  std::string defaultValue;  // may be empty
  std::uint64_t version = 1;
  bool persistent = false;
  bool loggable = true;
  ChangeFormatter changeFormatter;  // never on the wire

  // Wire order; the map key of PropertyDefinitions comes before these.
  static void describeFields(FieldList<PropertyDefinition>& fields) {
    fields.add(&PropertyDefinition::writers);
    fields.add(&PropertyDefinition::key);
    fields.add(&PropertyDefinition::type);
    fields.add(&PropertyDefinition::defaultValue);
    fields.add(&PropertyDefinition::version);
    fields.add(&PropertyDefinition::persistent);
    fields.add(&PropertyDefinition::loggable);
  }
};

}  // namespace Orvel::State::Messages
