// Server to client: every definition the server knows, by key, each with the
// property's current value in its defaultValue field. A repeated key keeps
// its first entry.
#pragma once
#include <string>
#include <unordered_map>

#include "ipc/FieldList.h"
#include "state/PropertyDefinition.h"

namespace Orvel::State::Messages {

struct PropertyDefinitions {
  static constexpr const char* messageName = "PropertyDefinitions";
  std::unordered_map<std::string, PropertyDefinition> definitions;

  static void describeFields(FieldList<PropertyDefinitions>& fields) { fields.add(&PropertyDefinitions::definitions); }
};

}  // namespace Orvel::State::Messages
