// A server that is killed and started again, several times over: a property
// client made with initializeAsync reconnects on its own, takes each new
// server's values, keeps its listeners, and publishes its own writes to the
// new server exactly once.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "ConnectionStates.h"
#include "MustReturn.h"
#include "ServerProcess.h"
#include "ValueHistory.h"
#include "property/PropertyClient.h"
#include "support/LogCapture.h"
#include "support/PipeServer.h"

namespace {

using Orvel::State::ClientRole;
using Orvel::State::Property;
using Orvel::State::PropertyClient;
using Orvel::Test::ConnectionStates;
using Orvel::Test::ServerProcess;
using Orvel::Test::ValueHistory;

const std::string kActivePlugin = "OrvelTracking.ActivePlugin";

TEST(ServerRestart, AsyncClientReconnectsReinitializesAndKeepsItsListeners) {
  Orvel::Test::LogCapture log;
  const std::string pipe = Orvel::Test::uniquePipeName("restart");
  ValueHistory clientListener({kActivePlugin});
  ValueHistory propertyListener({kActivePlugin});
  ConnectionStates states;
  auto client = PropertyClient::create("RestartTest", ClientRole::TRACKING, pipe, false);
  EventConnection onClient =
      client->onPropertyChanged([&](const Property& p) { clientListener.record(p); }, false);
  const std::shared_ptr<Property> property = client->getPropertyRaw(kActivePlugin);
  EventConnection onProperty = property->onChanged([&](const Property& p) { propertyListener.record(p); });
  EventConnection onState;

  constexpr int kServers = 4;  // the first, and three restarts after a kill
  std::vector<std::string> expected;
  for (int run = 0; run < kServers; ++run) {
    SCOPED_TRACE("server " + std::to_string(run));
    const std::string served = "value of server " + std::to_string(run);
    ServerProcess server(pipe, {"--set=" + kActivePlugin + "=" + served});
    ASSERT_TRUE(server.isListening());
    if (run == 0) onState = client->initializeAsync([&](bool connected) { states.add(connected); });
    ASSERT_TRUE(states.waitFor(true, run + 1));
    ASSERT_TRUE(propertyListener.waitForValue(kActivePlugin, served));
    EXPECT_EQ(property->getStringValue(), served);

    // The client's own write reaches this server, once.
    const std::string written = "written during server " + std::to_string(run);
    EXPECT_TRUE(property->setStringValue(ClientRole::TRACKING, written));
    const std::string update = "client 1: update \"" + kActivePlugin + "\" = \"" + written + "\" (was \"" + served + "\")";
    ASSERT_TRUE(server.waitForLine(update));
    expected.push_back(served);
    expected.push_back(written);

    server.kill();
    ASSERT_TRUE(states.waitFor(false, run + 1));
    EXPECT_EQ(server.linesStartingWith("client 1: update ").size(), 1u);
    EXPECT_EQ(server.linesStartingWith("client 2: ").size(), 0u) << "one connection per server";
  }
  EXPECT_EQ(propertyListener.values(kActivePlugin), expected);
  // The client-level listener hears a server's values from the second
  // definitions on: it is connected to the properties after the first.
  EXPECT_EQ(clientListener.values(kActivePlugin), std::vector<std::string>(expected.begin() + 1, expected.end()));
  // One initialization per server, each followed by a loss. A reconnection
  // can also reach the dying server's pipe, be accepted and lost at once:
  // that is one more loss and no initialization.
  const std::vector<bool> all = states.all();
  EXPECT_EQ(std::count(all.begin(), all.end(), true), kServers) << ::testing::PrintToString(all);
  for (std::size_t i = 0; i + 1 < all.size(); ++i) {
    EXPECT_FALSE(all[i] && all[i + 1]) << "a loss between two initializations: " << ::testing::PrintToString(all);
  }
  Orvel::Test::mustReturn("~PropertyClient", [&] { client.reset(); });
}

}  // namespace
