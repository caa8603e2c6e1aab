// The project's clients against a reference property server that breaks the
// protocol on purpose, over a real pipe: the server ends in the middle of a
// frame, stops reading, puts garbage or frames too long to accept between its
// frames. The client must survive each, lose no whole frame and take nothing
// from a broken one.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "ConnectionStates.h"
#include "Flood.h"
#include "MustReturn.h"
#include "ServerProcess.h"
#include "ValueHistory.h"
#include "ipc/Client.h"
#include "ipc/Ping.h"
#include "platform/SystemError.h"
#include "property/PropertyCatalogue.h"
#include "property/PropertyClient.h"
#include "state/PropertyUpdateToServer.h"
#include "support/LogCapture.h"
#include "support/PipeServer.h"
#include "support/SystemCodes.h"

namespace {

using namespace std::chrono_literals;
using Orvel::State::ClientRole;
using Orvel::State::Property;
using Orvel::State::PropertyClient;
using Orvel::Test::ConnectionStates;
using Orvel::Test::floodOptions;
using Orvel::Test::floodSentLine;
using Orvel::Test::kFaultBound;
using Orvel::Test::kFloodKeys;
using Orvel::Test::mustReturn;
using Orvel::Test::numbersUpTo;
using Orvel::Test::LogCapture;
using Orvel::Test::ServerProcess;
using Orvel::Test::uniquePipeName;
using Orvel::Test::ValueHistory;

const std::string kActivePlugin = "OrvelTracking.ActivePlugin";

// Lines to show with a failure: what the client logged, what the server said.
std::string linesOf(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

std::unique_ptr<PropertyClient> makeClient(const std::string& pipeName) {
  return PropertyClient::create("FaultTest", ClientRole::TRACKING, pipeName, false);
}

TEST(ServerFaults, ServerEndingInTheMiddleOfAFrameIsALostConnectionAndNothingMore) {
  LogCapture log;
  const std::string pipe = uniquePipeName("mid-frame");
  ValueHistory history({kActivePlugin});
  ConnectionStates states;
  auto client = makeClient(pipe);
  // The property's own changes: every value applied to it, the first
  // definitions' included (the client's change events start only once a
  // connection's definitions have been applied whole).
  EventConnection listener = client->getPropertyRaw(kActivePlugin)->onChanged([&](const Property& p) {
    history.record(p);
  });
  {
    ServerProcess server(pipe, {"--misbehave=exit-mid-frame", "--set=" + kActivePlugin + "=before"});
    ASSERT_TRUE(server.isListening());
    EventConnection state = client->initializeAsync([&](bool connected) { states.add(connected); });
    ASSERT_TRUE(server.waitForEnd());
    ASSERT_EQ(server.linesStartingWith("client 1: ending the process after ").size(), 1u);
    ASSERT_TRUE(states.waitFor(false, 1));
  }
  // A server there again: the client reconnects on its own and takes its
  // values. The definitions of the first connection came whole before the
  // broken frame; whether the client applied them before it noticed the end
  // is a race it may lose, so "before" may or may not come first.
  ServerProcess again(pipe, {"--set=" + kActivePlugin + "=after"});
  ASSERT_TRUE(again.isListening());
  ASSERT_TRUE(history.waitForValue(kActivePlugin, "after")) << "client log:\n"
                                                            << linesOf(log.lines()) << "server output:\n"
                                                            << linesOf(again.lines());
  const std::vector<std::string> values = history.values(kActivePlugin);
  EXPECT_TRUE(values == std::vector<std::string>{"after"} || values == (std::vector<std::string>{"before", "after"}))
      << "the half frame's value was never applied: " << testing::PrintToString(values);
  EXPECT_TRUE(log.linesContaining("Corrupted message").empty()) << "no frame was taken from the broken bytes";
  EXPECT_TRUE(again.waitForLine("client 1: definitions sent (" +
                                 std::to_string(Orvel::State::getPropertyDefinitions().size()) + " properties)"));
}

// The one scenario of failing pings: a server that reads nothing more. Timed
// writes give up with the timeout error; pings fail each second, and only
// the first failure of the run is logged.
TEST(ServerFaults, TimedWritesToAServerThatStopsReadingFailWithTheTimeoutError) {
  LogCapture log;
  const std::string pipe = uniquePipeName("stop-reading");
  ServerProcess server(pipe, {"--misbehave=stop-reading"});
  ASSERT_TRUE(server.isListening());
  Orvel::IPC::Client client(pipe, "stuck-client", true);
  ASSERT_TRUE(client.connect(5000, 5000));
  ASSERT_TRUE(server.waitForLine("client 1: reading nothing more"));

  // Large writes fill what the system buffers; the first that cannot finish
  // in its 100 ms gives up with the timeout error.
  Orvel::State::Messages::PropertyUpdateToServer large;
  large.key = kActivePlugin;
  large.value.assign(64 * 1024, 'x');
  bool timedOut = false;
  for (int i = 0; i < 1000 && !timedOut; ++i) timedOut = !client.sendMessage(large, 100);
  ASSERT_TRUE(timedOut);
  const std::uint32_t timeout = Orvel::Test::timeoutErrorCode();
  EXPECT_EQ(client.getLastErrorCode(), timeout);
  const std::string sendFailed =
      " WAR [Orvel::LayerByteMessage::writeToPipe] Failed to send message: " + Orvel::formatSystemError(timeout);
  ASSERT_FALSE(log.linesContaining("Failed to send message: ").empty());
  EXPECT_EQ(log.linesContaining("Failed to send message: ").front(), sendFailed);

  // Then small frames until not even a ping's fits: pings fail each second
  // from then on, and only the first failure is logged.
  int failuresInARow = 0;
  for (int i = 0; i < 100000 && failuresInARow < 3; ++i) {
    failuresInARow = client.sendMessage(Orvel::IPC::InternalMessages::Ping{}, 100) ? 0 : failuresInARow + 1;
  }
  ASSERT_EQ(failuresInARow, 3);
  ASSERT_TRUE(log.waitForLine("Failed to send ping!", kFaultBound));
  const auto sendFailures = [&] { return log.linesContaining("Failed to send message: ").size(); };
  const std::size_t atFirstPing = sendFailures();
  for (int i = 0; i < 600 && sendFailures() < atFirstPing + 2; ++i) std::this_thread::sleep_for(50ms);
  ASSERT_GE(sendFailures(), atFirstPing + 2) << "two more pings have failed";
  EXPECT_EQ(log.linesContaining("Failed to send ping!"),
            std::vector<std::string>{" WAR [Orvel::IPC::Client::runPing] IPCClient stuck-client: Failed to send ping!"});
  for (const auto& line : log.linesContaining("Failed to send message: ")) EXPECT_EQ(line, sendFailed);
  mustReturn("IPC::Client::disconnect", [&] { client.disconnect(); });
  EXPECT_FALSE(client.isConnected());
}

TEST(ServerFaults, PropertyClientWaitingForAServerThatStopsReadingStillStops) {
  // The server never reads the client's answer to its role request, so the
  // handler thread that sent it waits for the server to take it, and the
  // definitions never come. Stopping the initialization and destroying the
  // client must end that wait.
  LogCapture log;
  const std::string pipe = uniquePipeName("stop-reading-property");
  ServerProcess server(pipe, {"--misbehave=stop-reading"});
  ASSERT_TRUE(server.isListening());
  auto client = makeClient(pipe);
  bool initialized = true;
  std::thread initialization([&] { initialized = client->initializeOnce(5000); });
  ASSERT_TRUE(server.waitForLine("client 1: reading nothing more"));
  client->stopInitialization();
  mustReturn("PropertyClient::initializeOnce after stopInitialization", [&] { initialization.join(); });
  EXPECT_FALSE(initialized);
  mustReturn("~PropertyClient", [&] { client.reset(); });
  EXPECT_TRUE(log.waitForLine("Property Client initialization canceled"));
}

TEST(ServerFaults, PropertyClientWhosePingWaitsBehindAStuckSendStillStops) {
  // The handler thread's answer to the role request waits without limit for
  // a server that reads nothing more, and holds the send lock meanwhile; the
  // first ping, a second after the handshake, then waits for that lock.
  // Destroying the client must close the pipe, which ends both waits.
  LogCapture log;
  const std::string pipe = uniquePipeName("stop-reading-ping");
  ServerProcess server(pipe, {"--misbehave=stop-reading"});
  ASSERT_TRUE(server.isListening());
  ConnectionStates states;
  auto client = makeClient(pipe);
  EventConnection state = client->initializeAsync([&](bool connected) { states.add(connected); });
  ASSERT_TRUE(server.waitForLine("client 1: reading nothing more"));
  // Nothing outside the client shows that the ping has begun (the server
  // reads nothing, and the ping neither fails nor logs while it waits for
  // the lock), so the test waits well past the ping interval.
  std::this_thread::sleep_for(3s);
  mustReturn("~PropertyClient with a ping waiting for the send lock", [&] { client.reset(); });
  for (const bool connected : states.all()) EXPECT_FALSE(connected) << "the definitions never came";
  EXPECT_TRUE(log.linesContaining("Failed to send ping!").empty()) << "a ping ended by the close is no failure";
}

// A server that puts damaged bytes before each of its frames (garbage, and
// the header of a frame too short to be one), then floods the client with
// updates.
TEST(ServerFaults, DamagedBytesBetweenFramesCostNoFrame) {
  const int perKey = 250;
  LogCapture log;
  const std::string pipe = uniquePipeName("garbage-between-frames");
  ServerProcess server(pipe, floodOptions(perKey, {"--misbehave=garbage-between-frames"}));
  ASSERT_TRUE(server.isListening());
  ValueHistory history({kFloodKeys.begin(), kFloodKeys.end()});
  auto client = makeClient(pipe);
  EventConnection listener = client->onPropertyChanged([&](const Property& p) { history.record(p); }, false);
  ASSERT_TRUE(client->initializeOnce(5000));
  const std::string last = std::to_string(perKey);
  for (const auto& key : kFloodKeys) {
    ASSERT_TRUE(server.waitForLine(floodSentLine(key, perKey)));
    ASSERT_TRUE(history.waitForValue(key, last)) << key;
    EXPECT_EQ(history.values(key), numbersUpTo(perKey)) << key;
    EXPECT_EQ(client->getPropertyRaw(key)->getStringValue(), last) << key;
  }
  // Handshake answer, role request, definitions and the updates each came
  // after damaged bytes, each with one warning for the garbage and one for
  // the short frame; no frame was cut from them.
  const std::size_t frames = 3 + kFloodKeys.size() * perKey;
  for (const std::string warning : {" WAR [Orvel::LayerByteMessageReceiver::run] Invalid message signature: ",
                                    " WAR [Orvel::LayerByteMessageReceiver::run] Corrupted message"}) {
    EXPECT_GE(log.linesContaining(warning).size(), frames) << warning;
  }
  for (const auto& line : log.lines()) EXPECT_NE(line.rfind(" ERR", 0), 0u) << line;
  mustReturn("~PropertyClient", [&] { client.reset(); });
}

// A server that sends, before the definitions, one well-formed frame too long
// to accept, whose payload holds whole frames of definitions and of an
// update, each with another value for the active plugin. The client refuses
// the long frame, takes nothing from inside it, and reads on in step.
TEST(ServerFaults, FramesInsideAFrameTooLongToAcceptAreNeverTaken) {
  const int perKey = 50;
  LogCapture log;
  const std::string pipe = uniquePipeName("oversized-frames");
  ServerProcess server(pipe, floodOptions(perKey, {"--misbehave=oversized-frames", "--set=" + kActivePlugin + "=served"}));
  ASSERT_TRUE(server.isListening());
  std::set<std::string> keys(kFloodKeys.begin(), kFloodKeys.end());
  keys.insert(kActivePlugin);
  ValueHistory history(keys);
  auto client = makeClient(pipe);
  EventConnection listener = client->onPropertyChanged([&](const Property& p) { history.record(p); }, false);
  ASSERT_TRUE(client->initializeOnce(5000));
  ASSERT_TRUE(server.waitForLine(
      "client 1: frame of 17825868 bytes sent, too long to accept, with frames of definitions and an update inside"));
  const std::string last = std::to_string(perKey);
  for (const auto& key : kFloodKeys) {
    ASSERT_TRUE(history.waitForValue(key, last)) << key;
    EXPECT_EQ(history.values(key), numbersUpTo(perKey)) << key;
  }
  // Set from the definitions, and never changed since.
  EXPECT_EQ(client->getPropertyRaw(kActivePlugin)->getStringValue(), "served");
  EXPECT_EQ(history.values(kActivePlugin), std::vector<std::string>{});
  EXPECT_EQ(log.linesContaining("LayerByteMessageReceiver"),
            std::vector<std::string>{" WAR [Orvel::LayerByteMessageReceiver::run] Corrupted message"});
  for (const auto& line : log.lines()) EXPECT_NE(line.rfind(" ERR", 0), 0u) << line;
  mustReturn("~PropertyClient", [&] { client.reset(); });
}

}  // namespace
