// A child process's real end, the group it leads and bounded reads, with
// the shell as the child.
#include "platform/ChildProcess.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

using Orvel::platform::ChildEnd;
using Orvel::platform::ChildProcess;

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kBound = std::chrono::seconds(30);

ChildProcess::Program shell(const std::string& script) { return {"/bin/sh", {"-c", script}}; }

// Reads the output until it ends or the bound passes; whether it ended.
bool readUntilEnd(ChildProcess& child, std::string& output) {
  const auto until = Clock::now() + kBound;
  while (Clock::now() < until) {
    if (child.readAvailable(ChildProcess::Stream::Output, output) == ChildProcess::Read::Ended) return true;
    child.waitForData(100);
  }
  return false;
}

bool endsWithinBound(ChildProcess& child) {
  const auto until = Clock::now() + kBound;
  while (!child.hasEnded() && Clock::now() < until) child.waitForData(100);
  return child.hasEnded();
}

}  // namespace

// A process that the child leaves holding its output neither hides the
// child's end nor keeps the output open once the child has been waited for.
TEST(ChildProcess, TheChildsEndIsSeenAndWhatItLeftRunningGoesWithIt) {
  ChildProcess child(shell("sleep 600 & echo started"));
  ASSERT_TRUE(child.started());
  ASSERT_TRUE(endsWithinBound(child));
  const ChildEnd end = child.wait();
  EXPECT_EQ(end.kind, ChildEnd::Kind::Exited);
  EXPECT_EQ(end.code, 0);
  std::string output;
  EXPECT_TRUE(readUntilEnd(child, output)) << "the left process still holds the output";
  EXPECT_EQ(output, "started\n");
}

TEST(ChildProcess, HowTheChildEndedIsTold) {
  struct Case {
    const char* script;
    ChildEnd::Kind kind;
    std::int64_t code;
  };
  for (const Case& c : {Case{"exit 3", ChildEnd::Kind::Exited, 3}, Case{"exit 255", ChildEnd::Kind::Exited, -1},
                        Case{"kill -SEGV $$", ChildEnd::Kind::Crashed, 11}}) {
    ChildProcess child(shell(c.script));
    const ChildEnd end = child.wait();
    EXPECT_EQ(end.kind, c.kind) << c.script;
    EXPECT_EQ(end.code, c.code) << c.script;
  }
}

// A kill ends the grandchildren too, whatever holds the output.
TEST(ChildProcess, AKillEndsTheWholeGroup) {
  ChildProcess child(shell("sleep 600 & sleep 600"));
  child.kill();
  EXPECT_EQ(child.wait().kind, ChildEnd::Kind::Crashed);
  std::string output;
  EXPECT_TRUE(readUntilEnd(child, output));
}

// A child that writes without pause is read in bounded steps.
TEST(ChildProcess, ReadsOfAFloodAreBounded) {
  ChildProcess child(shell("while :; do echo yyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyy; done"));
  std::string output;
  const auto until = Clock::now() + kBound;
  while (output.size() < 4 * ChildProcess::kReadLimit && Clock::now() < until) {
    const std::size_t before = output.size();
    child.readAvailable(ChildProcess::Stream::Output, output);
    EXPECT_LE(output.size() - before, ChildProcess::kReadLimit);
    child.waitForData(100);
  }
  EXPECT_GE(output.size(), 4 * ChildProcess::kReadLimit);
}
