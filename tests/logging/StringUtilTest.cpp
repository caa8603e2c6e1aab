#include <gtest/gtest.h>

#include <cstdarg>
#include <string>

#include "logging/StringUtil.h"

TEST(StringUtil, ConvertsBetweenUtf8AndWide) {
  const std::string utf8 = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80 C:\\p\\x.dll";  // a, e-acute, euro, emoji
  const std::wstring wide = strutil::utf8ToWide(utf8);
  EXPECT_EQ(wide.substr(0, 3), std::wstring(L"a\u00E9\u20AC"));
  EXPECT_EQ(strutil::wideToUtf8(wide), utf8);
  EXPECT_EQ(strutil::utf8ToWide(""), L"");
  EXPECT_EQ(strutil::wideToUtf8(L""), "");
}

TEST(StringUtil, RefusesInvalidUtf8WithTheSystemErrorCode) {
  const std::string invalid[] = {"\xC3", "abc\xFF", "\xC0\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\x80"};
  for (const std::string& text : invalid) {
    try {
      strutil::utf8ToWide(text);
      ADD_FAILURE() << "accepted invalid UTF-8 of " << text.size() << " bytes";
    } catch (const strutil::StringConversionError& e) {
      EXPECT_NE(e.errorCode(), 0u);
      EXPECT_EQ(std::string(e.what()), "String conversion error: " + std::to_string(e.errorCode()));
    }
  }
}

TEST(StringUtil, RefusesLoneSurrogatesInWideText) {
  std::wstring lone;
  lone.push_back(static_cast<wchar_t>(0xD800));
  EXPECT_THROW(strutil::wideToUtf8(lone), strutil::StringConversionError);
}

TEST(StringUtil, FormatStringIsPrintfStyleAndCutsAt4095) {
  EXPECT_EQ(Orvel::formatString("Incompatible manifest file version: %s", "2.0.0.0"),
            "Incompatible manifest file version: 2.0.0.0");
  EXPECT_EQ(Orvel::formatString("ver %d.%d.%d.%d", 4, 16, 0, 0), "ver 4.16.0.0");
  EXPECT_EQ(Orvel::formatString("%s", std::string(5000, 'y').c_str()), std::string(4095, 'y'));
}

namespace {

std::string formatWithLimit(std::size_t maxLength, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = Orvel::formatStringV(maxLength, format, args);
  va_end(args);
  return text;
}

}  // namespace

// Short texts come from the stack buffer, long ones from a second pass: both
// keep every character up to the limit, and none past it.
TEST(StringUtil, FormatStringVKeepsTheWholeTextUpToItsLimit) {
  const std::string longText(70000, 'z');
  EXPECT_EQ(formatWithLimit(std::string::npos, "<%s>", longText.c_str()), "<" + longText + ">");
  EXPECT_EQ(formatWithLimit(std::string::npos, "%d-%s", 7, "x"), "7-x");
  EXPECT_EQ(formatWithLimit(5, "%s", "abcdefgh"), "abcde");
  EXPECT_EQ(formatWithLimit(600, "%s", longText.c_str()), longText.substr(0, 600));
  EXPECT_EQ(formatWithLimit(511, "%s", std::string(511, 'q').c_str()), std::string(511, 'q'));
  EXPECT_EQ(formatWithLimit(std::string::npos, "%s", std::string(512, 'q').c_str()), std::string(512, 'q'));
  EXPECT_EQ(formatWithLimit(0, "%s", "abc"), "");
}
