// A table of cases for a function from text to text: what it is given and
// what it must return, checked case by case.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace Orvel::Test {

// U+FFFD REPLACEMENT CHARACTER in UTF-8: what stands for a byte that is not text.
inline const std::string kReplacement = "\xEF\xBF\xBD";

struct TextCase {
  std::string in;
  std::string out;
};

// Every case, each failure naming its input.
template <typename Function>
void expectEachCase(Function function, const std::vector<TextCase>& cases) {
  for (const TextCase& c : cases) EXPECT_EQ(function(c.in), c.out) << c.in;
}

}  // namespace Orvel::Test
