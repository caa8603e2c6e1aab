#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "AsciiPath.h"
#include "TestEnvironment.h"
#include "platform/Console.h"
#include "platform/SharedLibrary.h"
#include "platform/SystemError.h"

namespace {

TEST(SystemError, TextIsHexCodeThenSystemMessage) {
  const std::string text = Orvel::formatSystemError(2);  // "file not found" on both systems
  ASSERT_GT(text.size(), 5u) << text;
  EXPECT_EQ(text.substr(0, 5), "0x2: ");
  EXPECT_NE(text.back(), '\n');
  EXPECT_NE(text.back(), '\r');
  const std::string big = Orvel::formatSystemError(0xABCDEF12u);
  EXPECT_EQ(big.substr(0, 10), "0xABCDEF12") << "upper-case hexadecimal, no leading zeros";
  // The whole text: the system's own message, its line ends dropped, after the
  // code; the code alone where the system has no message.
  for (const std::uint32_t code : {2u, 0xABCDEF12u}) {
    std::string message;
    const bool known = Orvel::systemErrorMessage(code, message);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
    const std::string hex = code == 2 ? "0x2" : "0xABCDEF12";
    EXPECT_EQ(Orvel::formatSystemError(code), known ? hex + ": " + message : hex);
  }
}

TEST(SystemError, LastErrorTextIsEmptyForNoError) {
  Orvel::setLastSystemErrorCode(0);
  EXPECT_EQ(Orvel::lastSystemErrorText(), "");
  Orvel::setLastSystemErrorCode(2);
  EXPECT_EQ(Orvel::lastSystemErrorText(), Orvel::formatSystemError(2));
}

TEST(SharedLibrary, ExpandsDefinedReferencesAndKeepsOthers) {
  setTestEnvironmentVariable("ORVEL_TEST_DIR", "C:\\Vendor");
  setTestEnvironmentVariable("ORVEL_TEST_X", "x");
  unsetTestEnvironmentVariable("ORVEL_TEST_UNDEFINED");
  const std::pair<const char*, const char*> cases[] = {
      {"%ORVEL_TEST_DIR%\\p\\x.dll", "C:\\Vendor\\p\\x.dll"},
      {"%ORVEL_TEST_UNDEFINED%\\p.dll", "%ORVEL_TEST_UNDEFINED%\\p.dll"},
      {"a%ORVEL_TEST_X%b%ORVEL_TEST_X%c", "axbxc"},
      {"%ORVEL_TEST_X%%ORVEL_TEST_X%", "xx"},
      {"50% done", "50% done"},
      {"plain.dll", "plain.dll"},
      {"", ""},
  };
  for (const auto& [input, expected] : cases) {
    EXPECT_EQ(Orvel::platform::expandEnvironmentStrings(asciiPath(input)), asciiPath(expected)) << input;
  }
}

TEST(SharedLibrary, MissingLibraryFailsWithAnErrorText) {
  EXPECT_EQ(Orvel::platform::loadLibrary(asciiPath("no-such-plugin-library-here.dll")), nullptr);
  EXPECT_NE(Orvel::platform::lastLibraryErrorText(), "");
  EXPECT_EQ(Orvel::platform::loadLibrary({}), nullptr) << "an empty path names no library";
}

TEST(Console, RedirectedStandardOutputIsNoConsole) {
  std::FILE* null = Orvel::platform::openNullDevice();
  ASSERT_NE(null, nullptr);
  EXPECT_FALSE(Orvel::platform::isConsoleStandardOutput(null)) << "only standard output can be the console";
  std::fclose(null);
}

TEST(Console, EnvironmentLookupHasA1024ByteBuffer) {
  setTestEnvironmentVariable("ORVEL_TEST_FLAG", "0");
  EXPECT_TRUE(Orvel::platform::environmentVariableFits("ORVEL_TEST_FLAG", 1024)) << "any value counts, 0 too";
  setTestEnvironmentVariable("ORVEL_TEST_FLAG", std::string(1023, 'v').c_str());
  EXPECT_TRUE(Orvel::platform::environmentVariableFits("ORVEL_TEST_FLAG", 1024));
  setTestEnvironmentVariable("ORVEL_TEST_FLAG", std::string(1024, 'v').c_str());
  EXPECT_FALSE(Orvel::platform::environmentVariableFits("ORVEL_TEST_FLAG", 1024)) << "too long counts as absent";
  unsetTestEnvironmentVariable("ORVEL_TEST_FLAG");
  EXPECT_FALSE(Orvel::platform::environmentVariableFits("ORVEL_TEST_FLAG", 1024));
}

}  // namespace
