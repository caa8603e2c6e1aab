// The one rule for what a valid UTF-8 sequence is, shared by the strict
// converter (which refuses invalid text) and the reports (which replace it).
#pragma once
#include <cstddef>
#include <string_view>

namespace Orvel::platform {

// The length (1 to 4) of the valid UTF-8 sequence at the start of `text`, or 0
// when `text` is empty or starts with none: a stray continuation byte, a cut
// sequence, an overlong form, a surrogate, a value above U+10FFFF or a byte
// that never occurs in UTF-8.
std::size_t utf8SequenceLength(std::string_view text);

// The code point of a sequence that utf8SequenceLength accepted, `length`
// bytes long.
char32_t utf8SequenceValue(std::string_view text, std::size_t length);

}  // namespace Orvel::platform
