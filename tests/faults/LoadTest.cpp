// Load against the reference server: many connections one after another,
// and a flood of updates from the server.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "Flood.h"
#include "MustReturn.h"
#include "ProcessResources.h"
#include "ServerProcess.h"
#include "ValueHistory.h"
#include "property/PropertyClient.h"
#include "support/LogCapture.h"
#include "support/PipeServer.h"

namespace {

using Orvel::State::ClientRole;
using Orvel::State::Property;
using Orvel::State::PropertyClient;
using Orvel::Test::ServerProcess;

TEST(Load, ThousandConnectionCyclesGiveBackEveryThreadAndHandle) {
  Orvel::Test::LogCapture log;
  const std::string pipe = Orvel::Test::uniquePipeName("cycles");
  ServerProcess server(pipe);
  ASSERT_TRUE(server.isListening());
  // One cycle: a property client connects, takes the definitions, disconnects.
  // A cycle that hangs ends the test with the last lines of both sides.
  int cycles = 0;
  const auto lastLines = [&] {
    const auto printTail = [](const char* title, const std::vector<std::string>& lines) {
      std::fprintf(stderr, "%s\n", title);
      for (std::size_t i = lines.size() > 12 ? lines.size() - 12 : 0; i < lines.size(); ++i) {
        std::fprintf(stderr, "  %s\n", lines[i].c_str());
      }
    };
    printTail("the server's last lines:", server.lines());
    printTail("the client's last log lines:", log.lines());
  };
  const auto cycle = [&] {
    ++cycles;
    Orvel::Test::mustReturn("connection cycle " + std::to_string(cycles), [&] {
      auto client = PropertyClient::create("CycleTest", ClientRole::TRACKING, pipe, false);
      ASSERT_TRUE(client->initializeOnce(5000));
    }, lastLines);
  };
  // The first cycles set up what lives as long as the process (under Wine one
  // handle appears during the second).
  for (int i = 0; i < 10; ++i) cycle();
  const std::size_t threads = Orvel::Test::threadCount();
  const std::size_t handles = Orvel::Test::handleCount();
  ASSERT_GT(threads, 1u) << "the test and its server output reader";
  ASSERT_GT(handles, 0u);
  RecordProperty("threads", static_cast<int>(threads));
  RecordProperty("handles", static_cast<int>(handles));
  constexpr int kCycles = 1000;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < kCycles; ++i) {
    cycle();
    if (HasFatalFailure()) return;
  }
  const auto elapsed = std::chrono::steady_clock::now() - start;
  RecordProperty("cycles", kCycles);
  RecordProperty("milliseconds", static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count()));
  EXPECT_EQ(Orvel::Test::threadCount(), threads);
  EXPECT_EQ(Orvel::Test::handleCount(), handles);
  EXPECT_TRUE(server.waitForLine("client " + std::to_string(kCycles + 10) + ": disconnected"));
  EXPECT_TRUE(log.linesContaining(" WAR ").empty()) << log.linesContaining(" WAR ").front();
  EXPECT_TRUE(log.linesContaining(" ERR ").empty()) << log.linesContaining(" ERR ").front();
  // The sanitizer build's LeakSanitizer checks at exit that no byte is left.
}

TEST(Load, HundredThousandUpdatesFromTheServerAreAppliedInOrder) {
  const int perKey = 25000;  // four keys: 100,000 updates
  Orvel::Test::LogCapture log;
  const std::string pipe = Orvel::Test::uniquePipeName("flood");
  ServerProcess server(pipe, Orvel::Test::floodOptions(perKey));
  ASSERT_TRUE(server.isListening());
  Orvel::Test::ValueHistory history({Orvel::Test::kFloodKeys.begin(), Orvel::Test::kFloodKeys.end()});
  auto client = PropertyClient::create("FloodTest", ClientRole::TRACKING, pipe, false);
  EventConnection listener = client->onPropertyChanged([&](const Property& p) { history.record(p); }, false);
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(client->initializeOnce(5000));
  for (const auto& key : Orvel::Test::kFloodKeys) {
    ASSERT_TRUE(server.waitForLine(Orvel::Test::floodSentLine(key, perKey)));
    ASSERT_TRUE(history.waitForValue(key, std::to_string(perKey), std::chrono::seconds(120))) << key;
  }
  const auto elapsed = std::chrono::steady_clock::now() - start;
  RecordProperty("updates", perKey * static_cast<int>(Orvel::Test::kFloodKeys.size()));
  RecordProperty("milliseconds", static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count()));
  for (const auto& key : Orvel::Test::kFloodKeys) {
    EXPECT_EQ(history.values(key), Orvel::Test::numbersUpTo(perKey)) << key << ": every update, in order";
    EXPECT_EQ(client->getPropertyRaw(key)->getStringValue(), std::to_string(perKey)) << key;
  }
  EXPECT_TRUE(log.linesContaining(" ERR ").empty());
}

}  // namespace
