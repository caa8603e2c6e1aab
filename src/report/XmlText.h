// Texts for XML attributes.
#pragma once
#include <string>
#include <string_view>

namespace Orvel::Report {

// The text as the value of a double-quoted XML 1.0 attribute: valid UTF-8
// (validUtf8), "&", "<", ">", '"' and "'" as entities, tab, line feed and
// carriage return as character references (so that they survive attribute
// normalisation), and every character that XML 1.0 cannot carry (the other
// control characters below U+0020, U+FFFE, U+FFFF) as U+FFFD.
std::string xmlAttribute(std::string_view text);

// ` name="value"`: an attribute as it follows an element's name, its value
// written by xmlAttribute.
std::string xmlNamedAttribute(const char* name, std::string_view value);

}  // namespace Orvel::Report
