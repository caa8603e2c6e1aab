#include "report/HtmlText.h"

#include <gtest/gtest.h>

#include "TextCases.h"

using Orvel::Report::htmlText;

TEST(HtmlText, CarriesOnlyWhatAStrictHtmlParserTakesWithoutAnError) {
  const std::string& r = Orvel::Test::kReplacement;
  Orvel::Test::expectEachCase(htmlText, {
      {"plain", "plain"},
      {"<script>alert(1)</script>", "&lt;script&gt;alert(1)&lt;/script&gt;"},
      {"\" onload=\"x", "&quot; onload=&quot;x"},
      {"a&b'c", "a&amp;b&apos;c"},
      {"tab\tline\ncr\r", "tab&#9;line&#10;cr&#10;"},
      {std::string("nul\0del\x7f", 8), "nul" + r + "del" + r},
      {"c1 \xC2\x80 \xC2\x9F nbsp \xC2\xA0", "c1 " + r + " " + r + " nbsp \xC2\xA0"},
      {"\xEF\xB7\x90 \xEF\xB7\xAF \xEF\xB7\xB0", r + " " + r + " \xEF\xB7\xB0"},
      {"\xF0\x9F\xBF\xBE \xF4\x8F\xBF\xBF \xF0\x9F\x98\x80", r + " " + r + " \xF0\x9F\x98\x80"},
      {"Caf\xE9", "Caf" + r},
  });
}
