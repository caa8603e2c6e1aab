// One row of the program's own table of properties: constant data, laid out
// by the compiler and never destroyed, so that what is made from a row may
// refer to its texts instead of copying them, and reading the table before
// main() runs no code at all.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "state/ClientRole.h"

namespace Orvel::State {

struct CatalogueRow {
  // The roles that may write the property: at most five.
  struct Writers {
    ClientRole roles[5];
    std::size_t count;
  };

  // The default value: a text, or, for a structured value, the function that
  // makes its JSON text once, on first use.
  class Default {
   public:
    constexpr Default(const char* text) : text_(text) {}  // NOLINT: a row names either form
    constexpr Default(const std::string& (*make)()) : make_(make) {}  // NOLINT
    std::string_view text() const { return make_ != nullptr ? std::string_view(make_()) : text_; }

   private:
    std::string_view text_;
    const std::string& (*make_)() = nullptr;
  };

  std::string_view key;
  const char* type;  // the value type's name, e.g. "bool"
  Default defaultValue;
  Writers writers;
  bool persistent;
  std::uint64_t version;
  bool loggable;
  // Describes a change of value for the log; null for every row but one.
  std::string (*formatter)(const std::string& oldValue, const std::string& newValue) = nullptr;
};

}  // namespace Orvel::State
