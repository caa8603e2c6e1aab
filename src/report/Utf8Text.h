// Texts from plugins and command lines as valid UTF-8 for the reports.
#pragma once
#include <string>
#include <string_view>

namespace Orvel::Report {

// The text with each byte that does not belong to a valid UTF-8 sequence
// (stray continuation bytes, cut or overlong sequences, surrogates, code
// points above U+10FFFF) replaced by U+FFFD.
std::string validUtf8(std::string_view text);

}  // namespace Orvel::Report
