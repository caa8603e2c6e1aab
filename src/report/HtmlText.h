// Texts for HTML documents.
#pragma once
#include <string>
#include <string_view>

namespace Orvel::Report {

// The text as HTML character data or as a double-quoted attribute value,
// which a strict HTML5 parser reads without an error and as the same text:
// escaped as xmlAttribute escapes it, a carriage return as a line feed (a
// character reference to U+000D is a parse error), and the characters that
// HTML forbids in its input beyond XML's (DEL, the C1 controls, the
// noncharacters U+FDD0 to U+FDEF and the last two code points of every
// plane) as U+FFFD.
std::string htmlText(std::string_view text);

}  // namespace Orvel::Report
