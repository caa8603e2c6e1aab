// Every misbehaviour of the reference server met at every moment of a
// property client's life: destroying the client then returns within 2 s and
// gives back every thread it made. A destructor that waits on a server which
// reads nothing, answers nothing, or is gone must not wait for it.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "ConnectionStates.h"
#include "Flood.h"
#include "MustReturn.h"
#include "ProcessResources.h"
#include "ServerProcess.h"
#include "property/PropertyCatalogue.h"
#include "property/PropertyClient.h"
#include "support/LogCapture.h"
#include "support/PipeServer.h"

namespace {

using Orvel::State::ClientRole;
using Orvel::State::PropertyClient;
using Orvel::Test::ConnectionStates;
using Orvel::Test::ServerProcess;

// The bound of a destructor.
constexpr std::chrono::seconds kDestructionBound(2);

const std::string kClientName = "FaultMatrix";
const std::string kHandshake = "client 1: handshake \"" + kClientName + "\"";
const std::string kFirstPing = "client 1: ping";

struct Misbehaviour {
  const char* name;  // in the test's name
  std::vector<std::string> options;
  // The server's line once the misbehaviour has met the client; empty when
  // the misbehaviour is the end of the server's process.
  std::string struck;
  // The server's line once the client's initialization is under way and
  // the misbehaviour has struck or is yet to strike.
  std::string initializing;
  // The client's pings reach the server and its initialization ends
  // (reliably: the client is told it is connected). A moment that the
  // misbehaviour keeps the client from reaching is reached on a well-behaved
  // server first, which the misbehaving one then replaces.
  bool pingsArrive;
  bool initializationEnds;
};

// The rows of misbehaviours(). The table itself is made on first use, once
// the catalogue it counts has been registered.
constexpr std::size_t kMisbehaviours = 6;

const std::vector<Misbehaviour>& misbehaviours() {
  static const std::vector<Misbehaviour> table = {
      {"StopsReading", {"--misbehave=stop-reading"}, "client 1: reading nothing more",
       "client 1: reading nothing more", false, false},
      {"NeverAnswersTheHandshake", {"--misbehave=no-handshake"}, kHandshake + " left unanswered",
       kHandshake + " left unanswered", false, false},
      // The client reconnects at once, and meets the same end again.
      {"ClosesAfterTheHandshake", {"--misbehave=close-after-handshake"},
       "client 1: closing the connection after the handshake", "client 2: closing the connection after the handshake",
       false, false},
      // The definitions come before the end: whether the client reports
      // itself connected before it notices the end is a race.
      {"ExitsMidFrame", {"--misbehave=exit-mid-frame"}, "", kHandshake, false, false},
      {"SendsGarbage", {"--misbehave=garbage-between-frames"}, kHandshake, kHandshake, true, true},
      // Destroyed while the updates arrive.
      {"Floods", Orvel::Test::floodOptions(25000),
       "client 1: definitions sent (" + std::to_string(Orvel::State::getPropertyDefinitions().size()) + " properties)",
       kHandshake, true, true},
  };
  return table;
}

// When the client made with initializeAsync is destroyed, and the condition
// that shows the moment has come: before its first ping (as soon as the
// misbehaviour has met it; the first ping is a second after the handshake),
// after the first ping (the server printed it), during its initialization
// (the misbehaviour's initializing line), after it (the client told its
// listener that it is connected). Except during initialization, the test
// then also waits until the misbehaviour has struck.
enum class Moment { BeforeTheFirstPing, AfterTheFirstPing, DuringInitialization, AfterInitialization };

const char* momentName(Moment moment) {
  switch (moment) {
    case Moment::BeforeTheFirstPing:
      return "BeforeTheFirstPing";
    case Moment::AfterTheFirstPing:
      return "AfterTheFirstPing";
    case Moment::DuringInitialization:
      return "DuringInitialization";
    case Moment::AfterInitialization:
      return "AfterInitialization";
  }
  return "";
}

using Row = std::tuple<std::size_t, Moment>;  // a misbehaviour's index, and the moment

std::string rowName(const ::testing::TestParamInfo<Row>& info) {
  return std::string(misbehaviours()[std::get<0>(info.param)].name) + "_" + momentName(std::get<1>(info.param));
}

// Waits until the misbehaviour has met the client.
bool waitUntilStruck(const ServerProcess& server, const Misbehaviour& misbehaviour) {
  return misbehaviour.struck.empty() ? server.waitForEnd() : server.waitForLine(misbehaviour.struck);
}

class DestroyingThePropertyClient : public ::testing::TestWithParam<Row> {};

TEST_P(DestroyingThePropertyClient, ReturnsWithinTwoSecondsAndLeavesNoThread) {
  ASSERT_EQ(misbehaviours().size(), kMisbehaviours);
  const Misbehaviour& misbehaviour = misbehaviours()[std::get<0>(GetParam())];
  const Moment moment = std::get<1>(GetParam());
  const std::string row = std::string(misbehaviour.name) + " " + momentName(moment);
  const bool wellBehavedFirst = (moment == Moment::AfterTheFirstPing && !misbehaviour.pingsArrive) ||
                                (moment == Moment::AfterInitialization && !misbehaviour.initializationEnds);

  Orvel::Test::LogCapture log;  // the client's log lines stay out of the test's output
  const std::string pipe = Orvel::Test::uniquePipeName("fault-matrix");
  std::vector<std::string> options = wellBehavedFirst ? std::vector<std::string>{} : misbehaviour.options;
  if (moment == Moment::AfterTheFirstPing) options.push_back("--show-pings");
  // A runtime may start a thread of its own when the process makes its
  // first (ThreadSanitizer does): one made and joined before counting.
  std::thread([] {}).join();
  // Counted before the server too: its output reader ends with its process,
  // which for some misbehaviours is before the client is destroyed.
  const std::size_t threads = Orvel::Test::threadCount();
  auto server = std::make_unique<ServerProcess>(pipe, options);
  ASSERT_TRUE(server->isListening());

  ConnectionStates states;
  auto client = PropertyClient::create(kClientName, ClientRole::TRACKING, pipe, false);
  EventConnection state = client->initializeAsync([&](bool connected) { states.add(connected); });
  switch (moment) {
    case Moment::BeforeTheFirstPing:
      break;
    case Moment::AfterTheFirstPing:
      ASSERT_TRUE(server->waitForLine(kFirstPing));
      break;
    case Moment::DuringInitialization:
      ASSERT_TRUE(server->waitForLine(misbehaviour.initializing));
      break;
    case Moment::AfterInitialization:
      ASSERT_TRUE(states.waitFor(true, 1));
      break;
  }
  if (wellBehavedFirst) {
    server.reset();  // killed: the client reconnects to the one that follows
    server = std::make_unique<ServerProcess>(pipe, misbehaviour.options);
    ASSERT_TRUE(server->isListening());
  }
  if (moment != Moment::DuringInitialization) {
    ASSERT_TRUE(waitUntilStruck(*server, misbehaviour));
  }

  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(Orvel::Test::returnsWithin(kDestructionBound, "~PropertyClient (" + row + ")", [&] { client.reset(); }))
      << "~PropertyClient took longer than " << kDestructionBound.count() << " s";
  RecordProperty("destructionMs", static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                       std::chrono::steady_clock::now() - start)
                                                       .count()));
  server.reset();
  EXPECT_TRUE(Orvel::Test::waitForThreadCount(threads, Orvel::Test::kFaultBound))
      << "threads before the client: " << threads << ", after it: " << Orvel::Test::threadCount();
}

INSTANTIATE_TEST_SUITE_P(FaultMatrix, DestroyingThePropertyClient,
                         ::testing::Combine(::testing::Range<std::size_t>(0, kMisbehaviours),
                                            ::testing::Values(Moment::BeforeTheFirstPing, Moment::AfterTheFirstPing,
                                                              Moment::DuringInitialization,
                                                              Moment::AfterInitialization)),
                         rowName);

}  // namespace
