#include <gtest/gtest.h>

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
