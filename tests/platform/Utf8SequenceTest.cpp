#include "platform/Utf8Sequence.h"

#include <gtest/gtest.h>

#include <string>

using Orvel::platform::utf8SequenceLength;
using Orvel::platform::utf8SequenceValue;

// The first and last code point of each sequence length, and the forms just
// outside them: a wrong lead mask or range shows up at these edges.
TEST(Utf8Sequence, ReadsTheEdgesOfEachLengthAndRefusesWhatLiesOutside) {
  struct Case {
    std::string bytes;
    std::size_t length;
    char32_t value;
  };
  const Case cases[] = {
      {"\x7F", 1, 0x7F},
      {"\xC2\x80", 2, 0x80},
      {"\xDF\xBF", 2, 0x7FF},
      {"\xE0\xA0\x80", 3, 0x800},
      {"\xED\x9F\xBF", 3, 0xD7FF},
      {"\xEE\x80\x80", 3, 0xE000},
      {"\xEF\xBF\xBF", 3, 0xFFFF},
      {"\xF0\x90\x80\x80", 4, 0x10000},
      {"\xF4\x8F\xBF\xBF", 4, 0x10FFFF},
      {"\xE2\x82\xAC tail", 3, 0x20AC},  // only the first sequence counts
      {"", 0, 0},
      {"\xC1\xBF", 0, 0},          // overlong U+7F
      {"\xE0\x9F\xBF", 0, 0},      // overlong U+7FF
      {"\xF0\x8F\xBF\xBF", 0, 0},  // overlong U+FFFF
      {"\xED\xA0\x80", 0, 0},      // U+D800
      {"\xF4\x90\x80\x80", 0, 0},  // U+110000
      {"\xF0\x90\x80", 0, 0},      // cut
      {"\xC2\x41", 0, 0},          // not a continuation byte
      {"\xBF", 0, 0},
      {"\xF8\x88\x80\x80\x80", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.bytes));
    ASSERT_EQ(utf8SequenceLength(c.bytes), c.length);
    if (c.length != 0) {
      EXPECT_EQ(static_cast<std::uint32_t>(utf8SequenceValue(c.bytes, c.length)), c.value);
    }
  }
}
