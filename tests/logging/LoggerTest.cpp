#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <thread>

#include "logging/Log.h"
#include "support/LogCapture.h"

namespace Orvel::LoggerTests {

using Test::LogCapture;
using Test::withoutTimestamp;

// The tests see whole lines as the logger writes them.
constexpr LogCapture::Keep kWholeLines = LogCapture::Keep::Timestamp;

struct Component {
  static void logAtEveryLevel() {
    LOG_CRITICAL("critical %d", 0);
    LOG_ERROR("error %s", "text");
    LOG_WARNING("warning %zu", static_cast<std::size_t>(2));
    LOG_INFO("info %%");
    logMessage("Other::function", 4, "level four");
    logMessage("Other::function", 5, "level five");
    logMessage("Other::function", -1, "level minus one");
  }
  static bool verifyThat(bool condition) { return VERIFY(condition, "Trying to access uninitialized property"); }
  static void logOnce() { LOG_ONCE(2, "only once %d", 1); }
  static void logThrottled(std::int64_t intervalNs) { LOG_THROTTLED(1, intervalNs, "Client heartbeat failed %s", "x"); }
};

TEST(Logger, LineHasTimestampTagFunctionAndMessage) {
  LogCapture capture(kWholeLines);
  Component::logAtEveryLevel();
  const std::vector<std::string> expected = {
      " CRI [Orvel::LoggerTests::Component::logAtEveryLevel] critical 0\n",
      " ERR [Orvel::LoggerTests::Component::logAtEveryLevel] error text\n",
      " WAR [Orvel::LoggerTests::Component::logAtEveryLevel] warning 2\n",
      " --- [Orvel::LoggerTests::Component::logAtEveryLevel] info %\n",
      " (?) [Other::function] level four\n",
      " *** [Other::function] level five\n",
      " (?) [Other::function] level minus one\n",
  };
  const auto lines = capture.lines();
  ASSERT_EQ(lines.size(), expected.size());
  for (std::size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(withoutTimestamp(lines[i]), expected[i]);
  EXPECT_EQ(capture.levels(), (std::vector<int>{0, 1, 2, 3, 4, 5, -1}));
}

TEST(Logger, TimestampHasHourWithoutLeadingZeroAndFixedWidthFields) {
  struct Case {
    int year, month, day, hour, minute, second;
    long nanoseconds;
    const char* expected;
  };
  const Case cases[] = {
      {2026, 1, 5, 9, 5, 7, 4000000, "20260105 9:05:07.004"},
      {2026, 12, 31, 0, 0, 1, 999999999, "20261231 0:00:01.999"},
      {1999, 10, 10, 23, 59, 59, 123456789, "19991010 23:59:59.123"},
  };
  for (const Case& c : cases) {
    std::tm tm{};
    tm.tm_year = c.year - 1900;
    tm.tm_mon = c.month - 1;
    tm.tm_mday = c.day;
    tm.tm_hour = c.hour;
    tm.tm_min = c.minute;
    tm.tm_sec = c.second;
    EXPECT_EQ(formatLogTimestamp(tm, c.nanoseconds), c.expected);
  }
}

TEST(Logger, MessageTextIsNeverReinterpretedAsFormat) {
  LogCapture capture(kWholeLines);
  const std::string text = "50% done %s %d";
  logMessage("F", 3, "%s", text.c_str());
  ASSERT_EQ(capture.lines().size(), 1u);
  EXPECT_EQ(withoutTimestamp(capture.lines()[0]), " --- [F] 50% done %s %d\n");
}

TEST(Logger, LongMessageIsCutTo4095Characters) {
  LogCapture capture(kWholeLines);
  const std::string text(5000, 'x');
  logMessage("F", 3, "%s", text.c_str());
  ASSERT_EQ(capture.lines().size(), 1u);
  EXPECT_EQ(withoutTimestamp(capture.lines()[0]), " --- [F] " + std::string(4095, 'x') + "\n");
}

TEST(Logger, SinkReceivesEverythingAndStandardOutputNothing) {
  testing::internal::CaptureStdout();
  {
    LogCapture capture(kWholeLines);
    LOG_ERROR("to the sink");
    EXPECT_EQ(capture.lines().size(), 1u);
  }
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST(Logger, WithoutSinkLinesGoToStandardOutput) {
  Logger::instance().setSink(nullptr);
  testing::internal::CaptureStdout();
  logMessage("Some::function", 2, "to standard output %d", 7);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(withoutTimestamp(out), " WAR [Some::function] to standard output 7\n")
      << "redirected output carries no colour sequences";
}

TEST(Logger, VerifyLogsFailureWithFileAndLineAndContinues) {
  LogCapture capture(kWholeLines);
  EXPECT_TRUE(Component::verifyThat(true));
  EXPECT_TRUE(capture.lines().empty());
  EXPECT_FALSE(Component::verifyThat(false));
  ASSERT_EQ(capture.lines().size(), 1u);
  const std::regex expected(
      R"( ERR \[Orvel::LoggerTests::Component::verifyThat\] Verify \(assertion\) failed for: 'Trying to access uninitialized property' in '.*LoggerTest\.cpp' : \d+\n)");
  EXPECT_TRUE(std::regex_match(withoutTimestamp(capture.lines()[0]), expected)) << capture.lines()[0];
}

TEST(Logger, LogOnceWritesOnlyTheFirstTimeAcrossThreads) {
  LogCapture capture(kWholeLines);
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i) threads.emplace_back([] {
      for (int k = 0; k < 10; ++k) Component::logOnce();
    });
  for (auto& thread : threads) thread.join();
  ASSERT_EQ(capture.lines().size(), 1u);
  EXPECT_EQ(withoutTimestamp(capture.lines()[0]),
            " WAR [Orvel::LoggerTests::Component::logOnce::<lambda>::operator ()] only once 1\n");
}

TEST(Logger, ThrottledFormCountsSkippedOccurrencesPerThread) {
  using namespace std::chrono;
  constexpr std::int64_t interval = 300'000'000;  // 0.3 s
  LogCapture capture(kWholeLines);
  const auto start = steady_clock::now();
  Component::logThrottled(interval);  // first on this thread: written at once
  for (int i = 0; i < 10; ++i) Component::logThrottled(interval);
  const auto swallowed = steady_clock::now() - start;
  std::thread other([&] { Component::logThrottled(interval); });  // its own state: written
  other.join();
  // Wait until the interval has surely passed, then one more occurrence.
  while (steady_clock::now() - start < nanoseconds(interval) + milliseconds(20)) std::this_thread::sleep_for(milliseconds(20));
  Component::logThrottled(interval);
  const auto lines = capture.lines();
  if (swallowed >= nanoseconds(interval)) GTEST_SKIP() << "machine too slow to stay within the interval";
  const std::string prefix = " ERR [Orvel::LoggerTests::Component::logThrottled] ";
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(withoutTimestamp(lines[0]), prefix + "(skipped 0) Client heartbeat failed x\n");
  EXPECT_EQ(withoutTimestamp(lines[1]), prefix + "(skipped 0) Client heartbeat failed x\n");
  EXPECT_EQ(withoutTimestamp(lines[2]), prefix + "(skipped 10) Client heartbeat failed x\n");
}

TEST(Logger, PropertyChangeLine) {
  LogCapture capture(kWholeLines);
  LogUtil_PropertyChange("TRACKING", "OrvelTracking.ActivePlugin", "plugin:C:\\p\\t.dll");
  ASSERT_EQ(capture.lines().size(), 1u);
  EXPECT_EQ(withoutTimestamp(capture.lines()[0]),
            " --- [Orvel::LogUtil_PropertyChange] Property change : TRACKING 'OrvelTracking.ActivePlugin' "
            "'plugin:C:\\p\\t.dll'\n");
}

TEST(Logger, ConcurrentLinesStayWhole) {
  LogCapture capture(kWholeLines);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) threads.emplace_back([t] {
      for (int i = 0; i < 200; ++i) logMessage("F", 3, "thread %d line %d", t, i);
    });
  for (auto& thread : threads) thread.join();
  const auto lines = capture.lines();
  ASSERT_EQ(lines.size(), 800u);
  const std::regex whole(R"( --- \[F\] thread \d line \d+\n)");
  for (const auto& line : lines) ASSERT_TRUE(std::regex_match(withoutTimestamp(line), whole)) << line;
}

}  // namespace Orvel::LoggerTests
