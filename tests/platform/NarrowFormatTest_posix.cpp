#include <gtest/gtest.h>

#include <clocale>
#include <cstdarg>
#include <string>
#include <thread>

#include "logging/StringUtil.h"
#include "platform/NarrowFormat.h"

namespace {

std::string format(const char* text, ...) {
  char buffer[256];
  va_list args;
  va_start(args, text);
  const int length = Orvel::platform::formatNarrow(buffer, sizeof buffer, text, args);
  va_end(args);
  return length < 0 ? "<failed>" : std::string(buffer, static_cast<std::size_t>(length));
}

}  // namespace

// The "C" character type cannot write a non-ASCII wide character; the message
// is still written, in UTF-8, and the process's locale stays "C".
TEST(NarrowFormat, WideTextIsWrittenInUtf8WithoutChangingTheProcessLocale) {
  const std::string before = std::setlocale(LC_CTYPE, nullptr);
  ASSERT_EQ(before, "C");
  EXPECT_EQ(format("Unable to load DLL '%S' (%d)", L"/opt/tr\u00e4cker/\u63d2\u4ef6.so", 7),
            "Unable to load DLL '/opt/tr\xc3\xa4" "cker/\xe6\x8f\x92\xe4\xbb\xb6.so' (7)");
  EXPECT_EQ(format("%S and %s", L"plain", "narrow"), "plain and narrow");
  EXPECT_EQ(std::setlocale(LC_CTYPE, nullptr), before);

  // Another thread formats the same way; the switch is per thread and undone.
  std::string fromThread;
  std::thread([&] { fromThread = format("%S", L"\u00fc"); }).join();
  EXPECT_EQ(fromThread, "\xc3\xbc");
  EXPECT_EQ(std::setlocale(LC_CTYPE, nullptr), before);

  // The program's formatting helper goes through the same path.
  EXPECT_EQ(Orvel::formatString("%S", L"\u00e9t\u00e9"), "\xc3\xa9t\xc3\xa9");
}
