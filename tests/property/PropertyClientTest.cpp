#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <memory>
#include <mutex>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "Flag.h"
#include "ScriptedPropertyServer.h"
#include "TypeMismatchWarning.h"
#include "property/PropertyClient.h"
#include "support/LogCapture.h"

using namespace Orvel::State;
using Orvel::Test::Bytes;
using Orvel::Test::Flag;
using Orvel::Test::LogCapture;
using Orvel::Test::ScriptedPropertyServer;
using Orvel::Test::ServerDefinition;

namespace {

constexpr std::uint32_t kTracking = 3;
constexpr std::uint32_t kBase = 5;
constexpr std::uint32_t kCompositor = 2;
constexpr std::uint32_t kGazeTracking = 11;

const std::string kActivePlugin = "OrvelTracking.ActivePlugin";
const std::string kLowFrameRate = "LowFrameRateDetected";

std::vector<ServerDefinition> serverDefinitions(const std::string& activePlugin = "openvr",
                                                std::vector<std::uint32_t> activePluginWriters = {kTracking, kBase,
                                                                                                  kCompositor}) {
  return {{kActivePlugin, "std::string", activePlugin, std::move(activePluginWriters), 1, true, true},
          {kLowFrameRate, "bool", "false", {kGazeTracking, 18}, 1, false, true},
          {"Extra.Key", "int", "5", {kTracking}, 2, false, true},
          {"Placeholder.Key", "std::string", "filled", {kTracking}, 1, false, true}};
}

std::unique_ptr<PropertyClient> makeClient(const std::string& pipeName, bool queued = false) {
  return PropertyClient::create("PropertyClientTest", ClientRole::TRACKING, pipeName, queued);
}

// Connects the client with one attempt while the server accepts it.
bool connect(PropertyClient& client, ScriptedPropertyServer& server) {
  auto accepted = std::async(std::launch::async, [&] { return server.acceptClient(); });
  const bool initialized = client.initializeOnce(5000);
  return accepted.get() && initialized;
}

// Accepts the client and waits until it has answered the role request that
// the server sends on connection: from then on it waits for the definitions.
bool acceptUntilRoleAnswered(ScriptedPropertyServer& server) {
  return server.acceptClient() && server.waitForFrames("ResponseClientRole", 1);
}

// The client handles server messages in order on one thread: once it has
// answered a role request sent after them, everything before it is applied.
void waitUntilHandled(ScriptedPropertyServer& server) {
  const std::size_t answered = server.frames("ResponseClientRole").size();
  ASSERT_TRUE(server.sendRoleRequest());
  ASSERT_TRUE(server.waitForFrames("ResponseClientRole", answered + 1));
}

// The client sends in order over one pipe: once a heartbeat (sent after a
// write) has arrived, any update that write produced has arrived too.
void waitUntilSent(PropertyClient& client, ScriptedPropertyServer& server) {
  const std::size_t before = server.frames("NotifyPropertyClientStatus").size();
  client.notifyComponentIsReady(true);
  ASSERT_TRUE(server.waitForFrames("NotifyPropertyClientStatus", before + 1));
}

std::vector<std::string> linesOf(const LogCapture& capture, const std::string& function) {
  return capture.linesContaining("[Orvel::State::PropertyClient::" + function + "] ");
}

TEST(PropertyClient, InitializesPropertiesFromTheServersDefinitions) {
  LogCapture capture;
  ScriptedPropertyServer server("init");
  // A key given twice takes its first row; the rows after it still reach
  // their own properties.
  std::vector<ServerDefinition> definitions = serverDefinitions();
  definitions.insert(definitions.begin() + 2, {kLowFrameRate, "bool", "true", {kTracking}, 7, true, true});
  server.setDefinitions(definitions);
  auto client = makeClient(server.pipeName());
  std::vector<std::string> changed;
  std::mutex changedMutex;
  EventConnection listener = client->onPropertyChanged(
      [&](const Property& property) {
        std::lock_guard<std::mutex> lock(changedMutex);
        changed.push_back(property.getKey());
      },
      false);
  const std::shared_ptr<Property> placeholder = client->getPropertyRaw("Placeholder.Key");
  EXPECT_FALSE(placeholder->isInitialized());

  ASSERT_TRUE(connect(*client, server));
  EXPECT_TRUE(client->isInitialized());
  EXPECT_EQ(client->getClientRole(), ClientRole::TRACKING);

  const auto plugin = client->getPropertyRaw(kActivePlugin);
  EXPECT_TRUE(plugin->isInitialized());
  EXPECT_EQ(plugin->getStringValue(), "openvr");
  EXPECT_EQ(plugin->getWriters(), (std::vector<ClientRole>{ClientRole::TRACKING, ClientRole::BASE,
                                                           ClientRole::COMPOSITOR}));
  EXPECT_EQ(client->getPropertyRaw(kLowFrameRate)->getStringValue(), "false");
  EXPECT_FALSE(client->getPropertyRaw("visualLog")->isInitialized()) << "not defined by this server";

  const auto extra = client->getPropertyRaw("Extra.Key");
  EXPECT_TRUE(extra->isInitialized());
  EXPECT_EQ(extra->getStringValue(), "5");
  EXPECT_EQ(extra->getType(), "int");
  EXPECT_EQ(client->getPropertyRaw("Placeholder.Key"), placeholder);
  EXPECT_TRUE(placeholder->isInitialized());
  EXPECT_EQ(placeholder->getStringValue(), "filled");
  EXPECT_EQ(client->getPropertyKeys().size(), 441u) << "the catalogue, the placeholder and the added key";
  {
    std::lock_guard<std::mutex> lock(changedMutex);
    EXPECT_EQ(changed, std::vector<std::string>{"Extra.Key"}) << "only the added property is announced";
  }

  const auto names = server.frameNames();
  ASSERT_GE(names.size(), 2u);
  EXPECT_EQ(names[0], "RequestHandshake");
  EXPECT_EQ(names[1], "ResponseClientRole");
  EXPECT_EQ(server.frames("ResponseClientRole")[0].payload, (Bytes{3, 0, 0, 0, 0, 0, 0, 0}));

  EXPECT_EQ(linesOf(capture, "updatePropertiesAfterNewConnection"),
            std::vector<std::string>{" ERR [Orvel::State::PropertyClient::updatePropertiesAfterNewConnection] Could "
                                     "not find property 'Extra.Key' from local definitions"});
  EXPECT_EQ(linesOf(capture, "waitForConnection"),
            std::vector<std::string>{
                " --- [Orvel::State::PropertyClient::waitForConnection] Trying to connect to PropertyServer"});
  EXPECT_EQ(linesOf(capture, "tryInitialization"),
            std::vector<std::string>{" --- [Orvel::State::PropertyClient::tryInitialization] Connection to Property "
                                     "Server established and property definitions initialized"});
}

TEST(PropertyClient, LocalWritePublishesOnceAndServerUpdatesNothing) {
  LogCapture capture;
  ScriptedPropertyServer server("publish");
  server.setDefinitions(serverDefinitions());
  auto client = makeClient(server.pipeName());
  ASSERT_TRUE(connect(*client, server));
  std::vector<std::string> changes;
  std::mutex changesMutex;
  EventConnection listener = client->onPropertyChanged(
      [&](const Property& property) {
        std::lock_guard<std::mutex> lock(changesMutex);
        if (property.getKey() == kActivePlugin) changes.push_back(property.getStringValue());
      },
      false);

  const std::string value = "plugin:C:\\p\\tracker.dll";
  const auto plugin = client->getPropertyRaw(kActivePlugin);
  {
    std::lock_guard<std::recursive_mutex> lock(plugin->getMutex());
    EXPECT_TRUE(plugin->setStringValue(ClientRole::TRACKING, value));
  }
  EXPECT_FALSE(plugin->setStringValue(ClientRole::TRACKING, value)) << "the same value is no change";
  ASSERT_TRUE(server.waitForFrames("PropertyUpdateToServer", 1));
  EXPECT_EQ(server.frames("PropertyUpdateToServer")[0].payload,
            ScriptedPropertyServer::updateToServerPayload(kActivePlugin, value));

  ASSERT_TRUE(server.sendUpdate(kActivePlugin, "openvr", kBase));
  waitUntilHandled(server);
  EXPECT_EQ(plugin->getStringValue(), "openvr");
  waitUntilSent(*client, server);
  EXPECT_EQ(server.frames("PropertyUpdateToServer").size(), 1u) << "a server update is not sent back";
  std::lock_guard<std::mutex> lock(changesMutex);
  EXPECT_EQ(changes, (std::vector<std::string>{value, "openvr"}));
}

TEST(PropertyClient, WriterRulesApplyToLocalWritesAndServerUpdates) {
  LogCapture capture;
  ScriptedPropertyServer server("writers");
  server.setDefinitions(serverDefinitions("openvr", {kBase}));
  auto client = makeClient(server.pipeName());
  ASSERT_TRUE(connect(*client, server));
  const auto plugin = client->getPropertyRaw(kActivePlugin);

  EXPECT_FALSE(plugin->setStringValue(ClientRole::TRACKING, "plugin:a"));
  EXPECT_FALSE(plugin->setStringValue(ClientRole::TRACKING, "plugin:b"));
  ASSERT_TRUE(server.sendUpdate(kActivePlugin, "from compositor", kCompositor));
  waitUntilHandled(server);
  EXPECT_EQ(plugin->getStringValue(), "openvr");
  ASSERT_TRUE(server.sendUpdate(kActivePlugin, "from base", kBase));
  ASSERT_TRUE(server.sendUpdate(kActivePlugin, "from compositor again", kCompositor));
  waitUntilHandled(server);
  EXPECT_EQ(plugin->getStringValue(), "from base");

  waitUntilSent(*client, server);
  EXPECT_TRUE(server.frames("PropertyUpdateToServer").empty());
  const std::string prefix = " ERR [Orvel::State::Property::setStringValue] Client '";
  EXPECT_EQ(capture.linesContaining("is not allowed"),
            (std::vector<std::string>{
                prefix + "TRACKING' is not allowed to change key 'OrvelTracking.ActivePlugin', rejecting change to "
                         "value 'plugin:a'",
                prefix + "COMPOSITOR' is not allowed to change key 'OrvelTracking.ActivePlugin', rejecting change to "
                         "value 'from compositor again'"}));
}

TEST(PropertyClient, TypeMismatchTakesTheValueAndRefusesWrites) {
  LogCapture capture;
  ScriptedPropertyServer server("types");
  auto definitions = serverDefinitions();
  definitions[1].type = "int";
  definitions[1].value = "1";
  server.setDefinitions(definitions);
  auto client = makeClient(server.pipeName());
  ASSERT_TRUE(connect(*client, server));
  const auto lowFrameRate = client->getPropertyRaw(kLowFrameRate);
  EXPECT_EQ(lowFrameRate->getStringValue(), "1");
  EXPECT_FALSE(lowFrameRate->setStringValue(ClientRole::PROPERTY_UTIL, "2"));
  ASSERT_TRUE(server.sendUpdate(kLowFrameRate, "3", kGazeTracking));
  waitUntilHandled(server);
  EXPECT_EQ(lowFrameRate->getStringValue(), "1");
  waitUntilSent(*client, server);
  EXPECT_TRUE(server.frames("PropertyUpdateToServer").empty());
  EXPECT_EQ(capture.linesContaining("Invalid type"),
            std::vector<std::string>{" WAR [Orvel::State::Property::initialize] Invalid type for property "
                                     "'LowFrameRateDetected': local type 'bool', remote type 'int'"});
  Orvel::Test::expectTypeMismatchWarningOncePerProcess(
      capture, " WAR [Orvel::State::Property::setStringValue::<lambda>::operator ()] Client 'PROPERTY_UTIL' has "
               "invalid property type 'bool' for property 'LowFrameRateDetected', remote type is 'int'");
}

TEST(PropertyClient, UnknownKeysAreThrottledAndGetPlaceholders) {
  LogCapture capture;
  ScriptedPropertyServer server("unknown");
  server.setDefinitions(serverDefinitions());
  auto client = makeClient(server.pipeName());

  const auto early = client->getPropertyRaw("Early.Unknown");
  EXPECT_EQ(early->getKey(), "Early.Unknown");
  EXPECT_FALSE(early->isInitialized());
  EXPECT_TRUE(capture.lines().empty()) << "before initialization an unknown key is silent";

  ASSERT_TRUE(connect(*client, server));
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(server.sendUpdate("No.Such.Key", "1", kTracking));
  waitUntilHandled(server);
  EXPECT_EQ(linesOf(capture, "processOnPropertyUpdate"),
            std::vector<std::string>{" ERR [Orvel::State::PropertyClient::processOnPropertyUpdate] (skipped 0) "
                                     "Received update to property with unknown key 'No.Such.Key'"});

  // On a thread of its own: the throttle is kept per thread and call site, so
  // on the test's thread a repeated run of this test would meet the state
  // that the run before left.
  std::shared_ptr<Property> late;
  std::thread([&] {
    late = client->getPropertyRaw("Late.Unknown");
    EXPECT_EQ(client->getPropertyRaw("Late.Unknown"), late);
    client->getPropertyRaw("Other.Unknown");
  }).join();
  const auto lines = linesOf(capture, "getPropertyRaw");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], " ERR [Orvel::State::PropertyClient::getPropertyRaw] (skipped 0) Trying to access property "
                      "with key 'Late.Unknown' that does not exist");
  const std::regex verify(
      R"( ERR \[Orvel::State::PropertyClient::getPropertyRaw\] Verify \(assertion\) failed for: 'Trying to access uninitialized property' in '.*PropertyClient\.cpp' : [0-9]+)");
  EXPECT_TRUE(std::regex_match(lines[1], verify)) << lines[1];
  EXPECT_TRUE(std::regex_match(lines[2], verify)) << lines[2];
  EXPECT_FALSE(late->setStringValue(ClientRole::TRACKING, "x"));
}

// Every kind of property a client holds (from its catalogue, added by the
// server's definitions, a placeholder) is found again by its key, among keys
// listed in order, and stays usable after the client is gone, without
// calling into it: no update is published and its listeners hear nothing.
TEST(PropertyClient, PropertiesAreFoundByKeyAndOutliveTheirClient) {
  LogCapture capture;
  ScriptedPropertyServer server("outlive");
  server.setDefinitions(serverDefinitions());
  auto client = makeClient(server.pipeName());
  const auto placeholder = client->getPropertyRaw("Placeholder.Key");
  ASSERT_TRUE(connect(*client, server));
  int changes = 0;
  EventConnection listener = client->onPropertyChanged([&](const Property&) { ++changes; }, false);

  const std::vector<std::string> keys = client->getPropertyKeys();
  EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end()));
  EXPECT_EQ(std::adjacent_find(keys.begin(), keys.end()), keys.end()) << "each key once";
  std::vector<std::string> existing;
  EventConnection lister =
      client->onPropertyChanged([&](const Property& property) { existing.push_back(property.getKey()); }, true);
  EXPECT_EQ(existing, keys) << "every existing property told once, in key order";
  lister.disconnect();
  std::vector<std::shared_ptr<Property>> held;
  // A catalogue key, a key the server added, the placeholder.
  for (const std::string& key : {kActivePlugin, std::string("Extra.Key"), std::string("Placeholder.Key")}) {
    const auto property = client->getPropertyRaw(key);
    EXPECT_EQ(property->getKey(), key);
    EXPECT_TRUE(property->isInitialized()) << key;
    EXPECT_TRUE(std::binary_search(keys.begin(), keys.end(), key)) << key;
    held.push_back(property);
  }
  EXPECT_EQ(held[2], placeholder);

  const std::size_t published = server.frames("PropertyUpdateToServer").size();
  listener.disconnect();
  changes = 0;
  listener = client->onPropertyChanged([&](const Property&) { ++changes; }, false);
  client.reset();
  // The placeholder is not written: it has no local type, and the warning of
  // a refused write is logged once per process, which another test checks.
  const std::vector<std::string> values = {"plugin:after", "7"};
  for (std::size_t i = 0; i < values.size(); ++i) {
    EXPECT_TRUE(held[i]->setStringValue(ClientRole::TRACKING, values[i])) << held[i]->getKey();
    EXPECT_EQ(held[i]->getStringValue(), values[i]);
  }
  EXPECT_EQ(held[2]->getStringValue(), "filled");
  const std::vector<std::string> types = {"std::string", "int", ""};
  for (std::size_t i = 0; i < held.size(); ++i) {
    EXPECT_EQ(held[i]->getKey(), (std::vector<std::string>{kActivePlugin, "Extra.Key", "Placeholder.Key"}[i]));
    EXPECT_EQ(held[i]->getType(), types[i]) << held[i]->getKey();
  }
  EXPECT_EQ(changes, 0) << "the client's listeners are not called once it is destroyed";
  EXPECT_EQ(server.frames("PropertyUpdateToServer").size(), published);
}

// A client may be built from a catalogue of its caller's that is destroyed
// before the client and its properties: they keep their own key and type.
TEST(PropertyClient, PropertiesOutliveACatalogueOfTheirOwn) {
  struct Row {
    std::string mapKey;
    std::string definitionKey;
    std::string type;
  };
  const std::vector<Row> rows = {
      {"Own.Catalogue.Key.Longer.Than.Inline", "Own.Catalogue.Key.Longer.Than.Inline", "Orvel::State::OwnTypeName"},
      {"Own.Catalogue.Map.Key.Longer.Than.Inline", "Own.Catalogue.Other.Definition.Key", "std::optional<float>"},
  };
  std::vector<std::shared_ptr<Property>> held;
  {
    auto catalogue = std::make_unique<PropertyCatalogue>();
    for (const Row& row : rows) {
      Messages::PropertyDefinition definition;
      definition.key = row.definitionKey;
      definition.type = row.type;
      definition.defaultValue = "default of " + row.mapKey;
      catalogue->emplace(row.mapKey, definition);
    }
    PropertyClient client(*catalogue, "PropertyClientTest", ClientRole::TRACKING, "orvel-test-own-catalogue", false);
    catalogue.reset();
    for (const Row& row : rows) held.push_back(client.getPropertyRaw(row.mapKey));
  }
  for (std::size_t i = 0; i < rows.size(); ++i) {
    ASSERT_NE(held[i], nullptr) << rows[i].mapKey;
    EXPECT_EQ(held[i]->getKey(), rows[i].mapKey) << "a property is known by its catalogue key";
    EXPECT_EQ(held[i]->getType(), rows[i].type) << rows[i].mapKey;
    EXPECT_EQ(held[i]->getStringValue(), "default of " + rows[i].mapKey);
  }
}

TEST(PropertyClient, QueuedModeAppliesMessagesOnTheCallingThread) {
  LogCapture capture;
  ScriptedPropertyServer server("queued");
  server.setDefinitions(serverDefinitions());
  auto client = makeClient(server.pipeName(), true);
  Flag connected;
  EventConnection state = client->initializeAsync([&](bool up) {
    if (up) connected.set();
  });
  ASSERT_TRUE(state.isConnected());
  ASSERT_TRUE(acceptUntilRoleAnswered(server));
  for (int round = 0; round < 2000 && !connected.isSet(); ++round) {
    client->processQueuedMessages();
    connected.wait(std::chrono::milliseconds(10));
  }
  ASSERT_TRUE(connected.isSet());
  const auto lowFrameRate = client->getPropertyRaw(kLowFrameRate);
  EXPECT_TRUE(lowFrameRate->isInitialized());

  ASSERT_TRUE(server.sendUpdate(kLowFrameRate, "true", kGazeTracking));
  waitUntilHandled(server);
  EXPECT_EQ(lowFrameRate->getStringValue(), "false") << "queued until processed";
  client->processQueuedMessages();
  EXPECT_EQ(lowFrameRate->getStringValue(), "true");
}

TEST(PropertyClient, HeartbeatAtMostOncePerSecondAndNotifications) {
  LogCapture capture;
  ScriptedPropertyServer server("heartbeat");
  server.setDefinitions(serverDefinitions());
  auto client = makeClient(server.pipeName());
  ASSERT_TRUE(connect(*client, server));

  client->sendHeartbeat();
  client->sendHeartbeat();
  client->resetPersistentProperties();
  client->notifyComponentIsReady(false);
  ASSERT_TRUE(server.waitForFrames("NotifyPropertyClientStatus", 1));
  EXPECT_EQ(server.frames("ComponentHeartbeat").size(), 1u);
  EXPECT_TRUE(server.frames("ComponentHeartbeat")[0].payload.empty());
  ASSERT_EQ(server.frames("RequestResetPersistentProperties").size(), 1u);
  EXPECT_TRUE(server.frames("RequestResetPersistentProperties")[0].payload.empty());
  EXPECT_EQ(server.frames("NotifyPropertyClientStatus")[0].payload, (Bytes{0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(linesOf(capture, "resetPersistentProperties"),
            std::vector<std::string>{" --- [Orvel::State::PropertyClient::resetPersistentProperties] Reset persistent "
                                     "properties"});
  EXPECT_EQ(linesOf(capture, "notifyComponentIsReady"),
            std::vector<std::string>{" --- [Orvel::State::PropertyClient::notifyComponentIsReady] Notifying that "
                                     "client is not ready"});

  // After a lost connection the next heartbeat goes at once.
  server.dropClient();
  ASSERT_TRUE(server.acceptClient());
  ASSERT_TRUE(server.waitForFrames("ResponseClientRole", 2));
  client->sendHeartbeat();
  waitUntilSent(*client, server);
  const auto heartbeats = server.frames("ComponentHeartbeat");
  ASSERT_EQ(heartbeats.size(), 2u);
  EXPECT_EQ(heartbeats[1].connection, 2);
}

TEST(PropertyClient, ReconnectsAndReinitializesByItself) {
  LogCapture capture;
  ScriptedPropertyServer server("reconnect");
  server.setDefinitions(serverDefinitions());
  auto client = makeClient(server.pipeName());
  Flag up;
  Flag down;
  Flag updated;
  EventConnection state = client->initializeAsync([&](bool connected) { (connected ? up : down).set(); });
  EventConnection changes = client->onPropertyChanged(
      [&](const Property& property) {
        if (property.getKey() == kActivePlugin && property.getStringValue() == "plugin:new") updated.set();
      },
      false);
  ASSERT_TRUE(server.acceptClient());
  ASSERT_TRUE(up.wait());

  server.setDefinitions(serverDefinitions("plugin:new"));
  server.dropClient();
  ASSERT_TRUE(down.wait());
  ASSERT_TRUE(server.acceptClient());
  ASSERT_TRUE(updated.wait()) << "the new connection's definitions are applied";

  const auto plugin = client->getPropertyRaw(kActivePlugin);
  EXPECT_TRUE(plugin->setStringValue(ClientRole::TRACKING, "openvr"));
  waitUntilSent(*client, server);
  const auto updates = server.frames("PropertyUpdateToServer");
  ASSERT_EQ(updates.size(), 1u) << "one update per change, also after a reconnection";
  EXPECT_EQ(updates[0].connection, 2);
  EXPECT_EQ(updates[0].payload, ScriptedPropertyServer::updateToServerPayload(kActivePlugin, "openvr"));
  EXPECT_FALSE(linesOf(capture, "onConnectionLost").empty());
  EXPECT_EQ(linesOf(capture, "onConnectionLost")[0],
            " --- [Orvel::State::PropertyClient::onConnectionLost] Connection lost to Property Server");
}

// The connection ends while the listener is still being told "connected".
// The listener must hear "disconnected" after that call, not during it: a
// listener that records each state as its call ends would otherwise be left
// believing it is connected while the client is not.
TEST(PropertyClient, ConnectionStatesReachTheListenerInTheOrderTheyHappened) {
  LogCapture capture;
  ScriptedPropertyServer server("states");
  server.setDefinitions(serverDefinitions());
  auto client = makeClient(server.pipeName());
  std::mutex statesMutex;
  std::vector<bool> states;
  const auto statesHeard = [&] {
    std::lock_guard<std::mutex> lock(statesMutex);
    return states;
  };
  Flag firstConnectedCall;
  Flag disconnectedHeard;
  Flag reconnectedHeard;
  EventConnection listener = client->initializeAsync([&](bool connected) {
    const bool first = connected && !firstConnectedCall.isSet();
    if (first) {
      firstConnectedCall.set();
      // A "false" delivered beside this call arrives within this window.
      disconnectedHeard.wait(std::chrono::milliseconds(300));
    }
    {
      std::lock_guard<std::mutex> lock(statesMutex);
      states.push_back(connected);
    }
    if (!connected) disconnectedHeard.set();
    if (connected && !first) reconnectedHeard.set();
  });
  ASSERT_TRUE(server.acceptClient());
  ASSERT_TRUE(firstConnectedCall.wait());
  server.dropClient();
  ASSERT_TRUE(disconnectedHeard.wait());
  // The server has accepted no new client, so the client cannot be connected.
  EXPECT_EQ(statesHeard(), (std::vector<bool>{true, false}));

  ASSERT_TRUE(server.acceptClient());
  ASSERT_TRUE(reconnectedHeard.wait()) << "the loss is answered by a new connection";
  EXPECT_EQ(statesHeard(), (std::vector<bool>{true, false, true}));
}

TEST(PropertyClient, InitializationStartsOnlyOnce) {
  LogCapture capture;
  const std::string nobody = Orvel::Test::uniquePipeName("nobody");
  auto client = makeClient(nobody);
  EventConnection first = client->initializeAsync([](bool) {});
  EXPECT_TRUE(first.isConnected());
  EXPECT_FALSE(client->initialize());
  EXPECT_FALSE(client->initializeOnce(10));
  EXPECT_FALSE(client->initializeAsync([](bool) {}).isConnected());
  EXPECT_EQ(linesOf(capture, "checkInitializationIsNotStarted"),
            std::vector<std::string>(3, " ERR [Orvel::State::PropertyClient::checkInitializationIsNotStarted] It "
                                        "is not allowed initialize PropertyClient multiple times"));
  client.reset();  // stops the endless attempts and joins the thread
  EXPECT_FALSE(linesOf(capture, "waitForConnection").empty());
}

TEST(PropertyClient, InitializeOnceWithoutServerMakesOneAttempt) {
  LogCapture capture;
  auto client = makeClient(Orvel::Test::uniquePipeName("absent"));
  EXPECT_FALSE(client->initializeOnce(100));
  EXPECT_FALSE(client->isInitialized());
  EXPECT_EQ(capture.linesContaining("[Orvel::State::PropertyClient::"),
            std::vector<std::string>{
                " --- [Orvel::State::PropertyClient::waitForConnection] Trying to connect to PropertyServer"});
}

TEST(PropertyClient, StopEndsTheWaitForDefinitions) {
  LogCapture capture;
  ScriptedPropertyServer server("stop");
  auto client = makeClient(server.pipeName());
  auto result = std::async(std::launch::async, [&] { return client->initialize(); });
  ASSERT_TRUE(acceptUntilRoleAnswered(server));
  client->stopInitialization();
  EXPECT_FALSE(result.get());
  EXPECT_EQ(linesOf(capture, "tryInitialization"),
            std::vector<std::string>{
                " --- [Orvel::State::PropertyClient::tryInitialization] Property Client initialization canceled"});
}

TEST(PropertyClient, ConnectionLostBeforeDefinitionsStartsOver) {
  LogCapture capture;
  ScriptedPropertyServer server("startover");
  auto client = makeClient(server.pipeName());
  auto result = std::async(std::launch::async, [&] { return client->initialize(); });
  ASSERT_TRUE(acceptUntilRoleAnswered(server));
  // The client pings only once its connect has finished; a loss before that
  // makes connect itself fail, which is another path.
  ASSERT_TRUE(server.waitForFrames("Ping", 1));
  server.setDefinitions(serverDefinitions());
  server.dropClient();
  ASSERT_TRUE(server.acceptClient());
  EXPECT_TRUE(result.get());
  EXPECT_EQ(client->getPropertyRaw(kActivePlugin)->getStringValue(), "openvr");
  EXPECT_EQ(linesOf(capture, "tryInitialization"),
            (std::vector<std::string>{
                " WAR [Orvel::State::PropertyClient::tryInitialization] Lost connection to Property Server while "
                "making handshake",
                " --- [Orvel::State::PropertyClient::tryInitialization] Connection to Property Server established and "
                "property definitions initialized"}));
}

}  // namespace
