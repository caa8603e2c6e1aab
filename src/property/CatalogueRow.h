// One row of the program's own table of properties: constant data, laid out
// by the compiler and never destroyed, so that what is made from a row may
// refer to its texts instead of copying them.
//
// A row holds its texts in place and names its two kinds of functions by
// number, so that the table holds no pointer: a table of pointers would need
// a relocation for each of them when the program starts, which writes, and
// so takes a private copy of, every page of the table in every run. Without
// them the table is read-only data that only the runs that read it touch.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "state/ClientRole.h"
#include "state/PropertyDefinition.h"

namespace Orvel::State {

// A text held in place, with room for N - 1 characters and a null character
// after them. Its last byte holds the room left unused, so that its length
// is known without a search for the null: when the text fills the room, that
// byte is 0 and is the text's null character itself.
template <std::size_t N>
struct CatalogueText {
  static_assert(N >= 1 && N <= 256, "the room left must fit the last byte");
  char text[N];

  std::string_view view() const { return {text, N - 1 - static_cast<unsigned char>(text[N - 1])}; }
};

// The text of a literal, checked to fit at compile time.
template <std::size_t N, std::size_t M>
constexpr CatalogueText<N> catalogueText(const char (&literal)[M]) {
  static_assert(M <= N, "a catalogue text longer than its room in CatalogueRow: make the room larger");
  CatalogueText<N> made{};
  for (std::size_t i = 0; i < M; ++i) made.text[i] = literal[i];
  made.text[N - 1] = static_cast<char>(N - M);
  return made;
}

struct CatalogueRow {
  // The roles that may write the property: at most five.
  struct Writers {
    ClientRole roles[5];
    std::size_t count;
  };

  CatalogueText<72> key;
  CatalogueText<56> type;  // the value type's name, e.g. "bool"
  CatalogueText<40> defaultText;
  // 0: the default value is defaultText. Otherwise, for a structured value,
  // the number of the function that makes its JSON text once, on first use.
  std::uint8_t defaultMaker;
  // 0, or the number of the function that describes a change of value for
  // the log (one row has one).
  std::uint8_t formatter;
  bool persistent;
  bool loggable;
  std::uint64_t version;
  Writers writers;

  // The default value: defaultText, or the text its function makes.
  std::string_view defaultValue() const;
  // The change formatter, empty for none.
  Messages::ChangeFormatter changeFormatter() const;
};

}  // namespace Orvel::State
