#include "report/JUnitReport.h"
#include "report/XmlText.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "TextCases.h"

using Orvel::Report::pathFileName;
using Orvel::Report::xmlAttribute;

TEST(XmlText, AttributeValuesCarryOnlyWhatXmlAllows) {
  const std::string& r = Orvel::Test::kReplacement;
  Orvel::Test::expectEachCase(xmlAttribute, {
      {"plain", "plain"},
      {"a&b<c>d\"e'f", "a&amp;b&lt;c&gt;d&quot;e&apos;f"},
      {"&amp;", "&amp;amp;"},
      {"tab\tline\ncr\r", "tab&#9;line&#10;cr&#13;"},
      {std::string("nul\0soh\x01" "esc\x1b" "del\x7f", 16), "nul" + r + "soh" + r + "esc" + r + "del\x7f"},
      {"Caf\xE9", "Caf" + r},
      {"\xEF\xBF\xBE \xEF\xBF\xBF \xEF\xBF\xBD", r + " " + r + " " + r},
      {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
  });
}

TEST(XmlText, FileNameOfAPluginPath) {
  const bool backslashSeparates = std::filesystem::path::preferred_separator == '\\';
  Orvel::Test::expectEachCase(pathFileName, {
      {"SampleTracker.dll", "SampleTracker.dll"},
      {"/opt/vendor/SampleTracker.so", "SampleTracker.so"},
      {"", ""},
      {"dir/", ""},
      {"C:\\Tracker\\plugin.dll", backslashSeparates ? "plugin.dll" : "C:\\Tracker\\plugin.dll"},
      {"C:\\Tracker/mixed\\plugin.dll", backslashSeparates ? "plugin.dll" : "mixed\\plugin.dll"},
  });
}
