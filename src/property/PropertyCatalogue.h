// The process-wide table of every property this program knows, filled by
// static registrations before main() runs and unchanged afterwards; kept
// until the process ends.
//
// The registrations live in the same source file as getPropertyDefinitions()
// and the key constants of PropertyKeys.h, so any program that reads the
// catalogue or names a key also links (and runs) every registration.
#pragma once
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "state/ClientRole.h"
#include "state/PropertyDefinition.h"

namespace Orvel::State {

using PropertyCatalogue = std::unordered_map<std::string, Messages::PropertyDefinition>;

// Adds a definition unless its key is already registered (the first one
// stays). Returns the key, for the definition's key constant.
std::string registerPropertyDefinition(std::vector<ClientRole> writers, std::string key, std::string type,
                                       std::string defaultValue, bool persistent, std::uint64_t version,
                                       bool loggable);
// The same with a formatter that describes a change of value for the log.
std::string registerPropertyDefinition(std::vector<ClientRole> writers, std::string key, std::string type,
                                       std::string defaultValue, bool persistent, std::uint64_t version,
                                       bool loggable, Messages::ChangeFormatter changeFormatter);

// The catalogue, created on first use.
const PropertyCatalogue& getPropertyDefinitions();

}  // namespace Orvel::State
