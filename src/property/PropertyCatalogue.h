// The process-wide table of every property this program knows, kept until
// the process ends.
//
// The program's own rows are constant data (PropertyTable.inc), read-only
// and made by the compiler: a program that starts makes nothing for them.
// The map of definitions is made from the rows on its first use, and a
// program that never reads it never pays for its hundreds of strings and
// nodes.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "property/CatalogueRow.h"
#include "state/ClientRole.h"
#include "state/PropertyDefinition.h"

namespace Orvel::State {

using PropertyCatalogue = std::unordered_map<std::string, Messages::PropertyDefinition>;

// Adds a definition unless its key is already registered (the first one
// stays, and the program's own rows come first). Returns the key.
std::string registerPropertyDefinition(std::vector<ClientRole> writers, std::string key, std::string type,
                                       std::string defaultValue, bool persistent, std::uint64_t version,
                                       bool loggable);
// The same with a formatter that describes a change of value for the log.
std::string registerPropertyDefinition(std::vector<ClientRole> writers, std::string key, std::string type,
                                       std::string defaultValue, bool persistent, std::uint64_t version,
                                       bool loggable, Messages::ChangeFormatter changeFormatter);

// The catalogue, created on first use.
const PropertyCatalogue& getPropertyDefinitions();

// The program's own rows in table order. Reading them makes nothing.
struct CatalogueTable {
  const CatalogueRow* rows;
  std::size_t size;
};
const CatalogueTable& catalogueTable();

// False once a registration has added a key that the program's own rows do
// not have: the catalogue is then more than its table.
bool catalogueIsItsTable();

}  // namespace Orvel::State
