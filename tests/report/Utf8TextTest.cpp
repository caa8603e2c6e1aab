#include "report/Utf8Text.h"

#include <gtest/gtest.h>

#include "TextCases.h"

using Orvel::Report::validUtf8;

TEST(Utf8Text, EachByteOutsideAValidSequenceBecomesOneReplacementCharacter) {
  const std::string& r = Orvel::Test::kReplacement;
  Orvel::Test::expectEachCase(validUtf8, {
      {"", ""},
      {"plain ASCII <&>\x01\x7f", "plain ASCII <&>\x01\x7f"},
      {"Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", "Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"},
      {"Caf\xE9", "Caf" + r},
      {"\x80\xBF", r + r},                           // stray continuation bytes
      {"\xE2\x82 x", r + r + " x"},                  // a cut sequence: both bytes
      {"\xE2\x82", r + r},                           // cut at the end
      {"\xC0\xAF\xC1\xBF", r + r + r + r},           // overlong two-byte forms
      {"\xE0\x80\xAF", r + r + r},                   // overlong three-byte form
      {"\xF0\x80\x80\xAF", r + r + r + r},           // overlong four-byte form
      {"\xED\xA0\x80", r + r + r},                   // a surrogate
      {"\xED\x9F\xBF", "\xED\x9F\xBF"},              // U+D7FF, just below them
      {"\xF4\x8F\xBF\xBF", "\xF4\x8F\xBF\xBF"},      // U+10FFFF
      {"\xF4\x90\x80\x80", r + r + r + r},           // above U+10FFFF
      {"\xF5\xFF\xFE", r + r + r},                   // bytes that never occur
      {std::string("a\0b", 3), std::string("a\0b", 3)},
  });
}
