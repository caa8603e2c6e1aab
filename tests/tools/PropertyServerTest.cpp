// The reference property server in-process on a pipe of its own, with real
// clients: the project's property client and a bare IPC client that sends
// what a well-behaved property client would not.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "PropertyServer.h"
#include "ServerOptions.h"
#include "ipc/Client.h"
#include "property/PropertyCatalogue.h"
#include "property/PropertyClient.h"
#include "state/PropertyDefinitions.h"
#include "state/PropertyUpdateToServer.h"
#include "state/RequestClientRole.h"
#include "state/ResponseClientRole.h"
#include "support/LogCapture.h"
#include "support/PipeServer.h"

namespace {

using namespace Orvel;
using namespace std::chrono_literals;
using State::ClientRole;
using Tools::PropertyServer;
using Tools::ServerOptions;

constexpr auto kBound = 20s;
const std::string kActivePlugin = "OrvelTracking.ActivePlugin";
const std::string kMotionPlugin = "OrvelTracking.ActiveMotionPlatformPlugin";

// Lines that threads append and a test waits for.
class Lines {
 public:
  void add(const std::string& line) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      lines_.push_back(line);
    }
    changed_.notify_all();
  }
  bool waitFor(const std::string& line) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, kBound, [&] {
      for (const auto& held : lines_) {
        if (held == line) return true;
      }
      return false;
    });
  }
  std::vector<std::string> all() {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> lines_;
};

// A server listening on a fresh pipe, running until the end of the test.
class RunningServer {
 public:
  explicit RunningServer(ServerOptions options)
      : server_(State::getPropertyDefinitions(), withPipe(std::move(options)),
                [this](const std::string& line) { output.add(line); }) {
    std::string error;
    listening_ = server_.listen(error);
    EXPECT_TRUE(listening_) << error;
    if (listening_) runner_ = std::thread([this] { server_.run(); });
  }
  ~RunningServer() {
    server_.stop();
    if (runner_.joinable()) runner_.join();
  }
  const std::string& pipeName() const { return pipeName_; }

  Lines output;

 private:
  ServerOptions withPipe(ServerOptions options) {
    pipeName_ = options.pipeName = Orvel::Test::uniquePipeName("reference-server");
    return options;
  }

  std::string pipeName_;
  PropertyServer server_;
  bool listening_ = false;
  std::thread runner_;
};

// A bare IPC client that states its role, waits for the definitions and then
// sends whatever the test asks, unchecked.
class BareClient {
 public:
  BareClient(const std::string& pipeName, ClientRole role) : client_(pipeName, "BareClient", true) {
    handlers_.push_back(client_.getParser<State::Messages::RequestClientRole>()->addHandler(
        [this, role](const State::Messages::RequestClientRole&) {
          State::Messages::ResponseClientRole response;
          response.role = role;
          client_.sendMessage(response, 0);
        }));
    handlers_.push_back(client_.getParser<State::Messages::PropertyDefinitions>()->addHandler(
        [this](const State::Messages::PropertyDefinitions& message) {
          {
            std::lock_guard<std::mutex> lock(mutex_);
            definitions_ = message.definitions.size();
          }
          changed_.notify_all();
        }));
  }
  bool connect() {
    if (!client_.connect(5000, 5000)) return false;
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, kBound, [this] { return definitions_ != 0; });
  }
  std::size_t definitions() {
    std::lock_guard<std::mutex> lock(mutex_);
    return definitions_;
  }
  bool send(const std::string& key, const std::string& value) {
    State::Messages::PropertyUpdateToServer update;
    update.key = key;
    update.value = value;
    return client_.sendMessage(update, 0);
  }

 private:
  IPC::Client client_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t definitions_ = 0;
  std::vector<MessageHandler> handlers_;  // released before client_
};

// Adds "<key>=<value>" to heard for every change of a property of client.
EventConnection recordChanges(State::PropertyClient& client, Lines& heard) {
  return client.onPropertyChanged(
      [&heard](const State::Property& property) { heard.add(property.getKey() + "=" + property.getStringValue()); },
      false);
}

TEST(PropertyServer, AppliesWritesByTheWritersRoleAndTellsTheOtherClients) {
  Orvel::Test::LogCapture quiet;  // the clients' and the server's log lines are not under test here
  ServerOptions options;
  options.writers = {{kActivePlugin, {ClientRole::TRACKING, ClientRole::BASE}}, {kMotionPlugin, {ClientRole::BASE}}};
  RunningServer server(options);

  auto observer = State::PropertyClient::create("Observer", ClientRole::BASE, server.pipeName(), false);
  ASSERT_TRUE(observer->initializeOnce(5000));
  Lines heard;
  EventConnection listener = recordChanges(*observer, heard);

  BareClient writer(server.pipeName(), ClientRole::TRACKING);
  ASSERT_TRUE(writer.connect());
  EXPECT_EQ(writer.definitions(), State::getPropertyDefinitions().size());
  // Refused, refused, changed, unchanged, changed.
  ASSERT_TRUE(writer.send("No.Such.Key", "1"));
  ASSERT_TRUE(writer.send(kMotionPlugin, "x"));
  ASSERT_TRUE(writer.send(kActivePlugin, "openvr"));
  ASSERT_TRUE(writer.send(kActivePlugin, "openvr"));
  ASSERT_TRUE(writer.send(kActivePlugin, "line\nbreak \"quoted\""));
  // Backslashes, a two-byte UTF-8 letter and a byte that is no UTF-8.
  const std::string path = "C:\\dir\\" "\xC3\xA9" "\xFF";
  ASSERT_TRUE(writer.send(kActivePlugin, path));
  ASSERT_TRUE(heard.waitFor(kActivePlugin + "=" + path));

  // Only the three changes reached the other client, in order; the writer
  // hears nothing of its own writes.
  EXPECT_EQ(heard.all(), (std::vector<std::string>{kActivePlugin + "=openvr", kActivePlugin + "=line\nbreak \"quoted\"",
                                                   kActivePlugin + "=" + path}));
  const auto lines = server.output.all();
  const std::string rows = std::to_string(State::getPropertyDefinitions().size());
  const std::vector<std::string> expected = {
      "writers of \"OrvelTracking.ActivePlugin\": TRACKING,BASE",
      "writers of \"OrvelTracking.ActiveMotionPlatformPlugin\": BASE",
      "listening on " + server.pipeName() + " with " + rows + " properties",
      "client 1: connected",
      "client 1: handshake \"Observer\"",
      "client 1: role BASE (5)",
      "client 1: definitions sent (" + rows + " properties)",
      "client 2: connected",
      "client 2: handshake \"BareClient\"",
      "client 2: role TRACKING (3)",
      "client 2: definitions sent (" + rows + " properties)",
      "client 2: update \"No.Such.Key\" = \"1\" refused: unknown key",
      "client 2: update \"OrvelTracking.ActiveMotionPlatformPlugin\" = \"x\" refused: TRACKING may not write it",
      "client 2: update \"OrvelTracking.ActivePlugin\" = \"openvr\" (was \"5A7476A7-F0CE-4129-BBAE-48700B82B73E\")",
      "client 2: update \"OrvelTracking.ActivePlugin\" = \"openvr\" unchanged",
      "client 2: update \"OrvelTracking.ActivePlugin\" = \"line\\nbreak \\\"quoted\\\"\" (was \"openvr\")",
      "client 2: update \"OrvelTracking.ActivePlugin\" = \"C:\\\\dir\\\\" "\xC3\xA9" "\xEF\xBF\xBD\" (was "
      "\"line\\nbreak \\\"quoted\\\"\")",
  };
  EXPECT_EQ(lines, expected);
}

TEST(PropertyServer, ClientsThatConnectLaterGetTheCurrentValues) {
  Orvel::Test::LogCapture quiet;
  ServerOptions options;
  options.values = {{kActivePlugin, "openvr"}};
  options.omitted = {kMotionPlugin};
  RunningServer server(options);
  {
    BareClient writer(server.pipeName(), ClientRole::TRACKING);
    ASSERT_TRUE(writer.connect());
    EXPECT_EQ(writer.definitions(), 438u);
    ASSERT_TRUE(writer.send(kActivePlugin, "plugin:later"));
    ASSERT_TRUE(server.output.waitFor("client 1: update \"OrvelTracking.ActivePlugin\" = \"plugin:later\" (was \"openvr\")"));
  }
  auto reader = State::PropertyClient::create("Reader", ClientRole::HOME, server.pipeName(), false);
  ASSERT_TRUE(reader->initializeOnce(5000));
  EXPECT_EQ(reader->getPropertyRaw(kActivePlugin)->getStringValue(), "plugin:later");
  // Omitted from the definitions: the client's own copy stays uninitialized.
  EXPECT_FALSE(reader->getPropertyRaw(kMotionPlugin)->isInitialized());
  EXPECT_TRUE(reader->getPropertyRaw(kActivePlugin)->isInitialized());
}

TEST(PropertyServer, TakesPingsWithoutAnsweringThem) {
  Orvel::Test::LogCapture log;
  ServerOptions options;
  options.showPings = true;
  RunningServer server(options);
  auto client = State::PropertyClient::create("Pinging", ClientRole::BASE, server.pipeName(), false);
  ASSERT_TRUE(client->initializeOnce(5000));
  Lines heard;
  EventConnection listener = recordChanges(*client, heard);
  // The client pings once a second by itself.
  ASSERT_TRUE(server.output.waitFor("client 1: ping"));

  // An update the server sends after that ping reaches the client after
  // anything the server sent for the ping.
  BareClient writer(server.pipeName(), ClientRole::TRACKING);
  ASSERT_TRUE(writer.connect());
  ASSERT_TRUE(writer.send(kActivePlugin, "after a ping"));
  ASSERT_TRUE(heard.waitFor(kActivePlugin + "=after a ping"));
  EXPECT_EQ(log.linesContaining("No handlers for message"), std::vector<std::string>{});
}

TEST(PropertyServer, RefusesToStartWhereItCannot) {
  Orvel::Test::LogCapture quiet;
  RunningServer first{ServerOptions{}};
  const struct {
    const char* what;
    ServerOptions options;
    std::string errorStart;
  } cases[] = {
      {"pipe owned by another server", [&] {
         ServerOptions o;
         o.pipeName = first.pipeName();
         return o;
       }(), "Unable to create the pipe " + first.pipeName() + ": 0x"},
      {"unknown key to set", [] {
         ServerOptions o;
         o.values = {{"No.Such.Key", "1"}};
         return o;
       }(), "Unknown property key in --set: No.Such.Key"},
      {"unknown key to omit", [] {
         ServerOptions o;
         o.omitted = {"No.Such.Key"};
         return o;
       }(), "Unknown property key in --omit: No.Such.Key"},
      {"unknown key for writers", [] {
         ServerOptions o;
         o.writers = {{"No.Such.Key", {}}};
         return o;
       }(), "Unknown property key in --writers: No.Such.Key"},
  };
  for (const auto& entry : cases) {
    Lines output;
    PropertyServer second(State::getPropertyDefinitions(), entry.options,
                          [&](const std::string& line) { output.add(line); });
    std::string error;
    EXPECT_FALSE(second.listen(error)) << entry.what;
    EXPECT_EQ(error.substr(0, entry.errorStart.size()), entry.errorStart) << entry.what;
  }
}

TEST(ServerOptions, ReadsEveryOptionAndNamesTheFirstItCannotRead) {
  const char* const good[] = {"OrvelPropertyServer", "--pipe=\\\\.\\pipe\\Other", "--set=A.B=x=y", "--set=A.C=",
                              "--omit=A.D", "--writers=A.E=TRACKING,5", "--writers=A.F=", "--show-pings",
                              "--misbehave=no-handshake"};
  ServerOptions options;
  std::string error;
  ASSERT_TRUE(Tools::parseServerOptions(9, good, options, error)) << error;
  EXPECT_EQ(options.pipeName, "\\\\.\\pipe\\Other");
  EXPECT_EQ(options.values, (std::vector<std::pair<std::string, std::string>>{{"A.B", "x=y"}, {"A.C", ""}}));
  EXPECT_EQ(options.omitted, std::vector<std::string>{"A.D"});
  ASSERT_EQ(options.writers.size(), 2u);
  EXPECT_EQ(options.writers[0].second, (std::vector<ClientRole>{ClientRole::TRACKING, ClientRole::BASE}));
  EXPECT_TRUE(options.writers[1].second.empty());
  EXPECT_TRUE(options.showPings);
  EXPECT_EQ(options.misbehaviour, ServerOptions::Misbehaviour::NoHandshakeResponse);

  const struct {
    const char* argument;
    const char* error;
  } bad[] = {
      {"--set=novalue", "Unknown or incomplete argument: --set=novalue"},
      {"--set==x", "Unknown or incomplete argument: --set==x"},
      {"--omit=", "Unknown or incomplete argument: --omit="},
      {"--writers=A.B=TRACKING,", "Unknown client role in: --writers=A.B=TRACKING,"},
      {"--writers=A.B=tracking", "Unknown client role in: --writers=A.B=tracking"},
      {"--writers=A.B=22", "Unknown client role in: --writers=A.B=22"},
      {"--misbehave=sometimes", "Unknown misbehaviour: --misbehave=sometimes"},
      {"--pipe", "Unknown or incomplete argument: --pipe"},
      {"--verbose", "Unknown or incomplete argument: --verbose"},
  };
  for (const auto& entry : bad) {
    const char* const arguments[] = {"OrvelPropertyServer", entry.argument};
    ServerOptions ignored;
    std::string message;
    EXPECT_FALSE(Tools::parseServerOptions(2, arguments, ignored, message)) << entry.argument;
    EXPECT_EQ(message, entry.error);
  }
}

TEST(ServerOptions, MisbehaveAtTakesOnlyAPointWhereTheMisbehaviourCanAct) {
  const struct {
    const char* misbehave;
    const char* at;
    const char* error;  // empty when taken
  } cases[] = {
      {"--misbehave=stop-reading", "--misbehave-at=after-definitions", ""},
      {"--misbehave=close-after-handshake", "--misbehave-at=connected", ""},
      {"--misbehave=oversized-frames", "--misbehave-at=after-definitions", ""},
      {"--misbehave=oversized-frames", "--misbehave-at=after-handshake-answer",
       "The misbehaviour cannot act there: --misbehave-at=after-handshake-answer"},
      {"--misbehave=no-handshake", "--misbehave-at=after-definitions",
       "The misbehaviour cannot act there: --misbehave-at=after-definitions"},
      {"--show-pings", "--misbehave-at=connected", "The misbehaviour cannot act there: --misbehave-at=connected"},
      {"--misbehave=stop-reading", "--misbehave-at=later", "Unknown point: --misbehave-at=later"},
  };
  for (const auto& entry : cases) {
    const char* const arguments[] = {"OrvelPropertyServer", entry.misbehave, entry.at};
    ServerOptions options;
    std::string error;
    EXPECT_EQ(Tools::parseServerOptions(3, arguments, options, error), entry.error[0] == '\0')
        << entry.misbehave << " " << entry.at;
    EXPECT_EQ(error, entry.error) << entry.misbehave << " " << entry.at;
  }
  const char* const moved[] = {"OrvelPropertyServer", "--misbehave-at=after-definitions", "--misbehave=stop-reading"};
  ServerOptions options;
  std::string error;
  ASSERT_TRUE(Tools::parseServerOptions(3, moved, options, error)) << error;
  ASSERT_TRUE(options.misbehaviourPoint.has_value());
  EXPECT_EQ(*options.misbehaviourPoint, Tools::FaultPoint::AfterDefinitions);
}

// The options that --help lists, one per row; an option whose value is one of
// a list ("--misbehave=<how>") once per value ("--misbehave=no-handshake").
std::vector<std::string> optionsOfHelp(const std::string& usage) {
  std::vector<std::string> options;
  std::string parent;  // the option the value rows belong to
  std::istringstream lines(usage);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("  --", 0) == 0) {
      parent = line.substr(2, line.find(' ', 2) - 2);
      options.push_back(parent);
    } else if (line.rfind("      ", 0) == 0 && line.size() > 6 && line[6] != ' ') {
      if (!options.empty() && options.back() == parent) options.pop_back();
      options.push_back(parent.substr(0, parent.find('=') + 1) + line.substr(6, line.find(' ', 6) - 6));
    }
  }
  return options;
}

// The first column of the option table on the reference server's page in docs/.
std::vector<std::string> optionsOfDocs() {
  std::ifstream file(ORVEL_SERVER_DOC);
  EXPECT_TRUE(file.is_open()) << ORVEL_SERVER_DOC;
  std::vector<std::string> options;
  std::string line;
  bool inSection = false;
  bool inTable = false;
  while (std::getline(file, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("#", 0) == 0) inSection = line == "## The reference property server";
    if (!inSection) continue;
    if (line == "| option | meaning |") {
      inTable = true;
    } else if (inTable && line.rfind("| `", 0) == 0) {
      options.push_back(line.substr(3, line.find('`', 3) - 3));
    } else if (inTable && line.rfind("|", 0) != 0) {
      break;
    }
  }
  return options;
}

TEST(ServerOptions, DocsTableListsWhatHelpListsAndEachIsRead) {
  const std::vector<std::string> help = optionsOfHelp(Tools::serverUsage());
  ASSERT_GE(help.size(), 8u) << Tools::serverUsage();
  EXPECT_EQ(help.front(), "--pipe=<name>");
  EXPECT_EQ(help.back(), "--help");
  EXPECT_EQ(optionsOfDocs(), help) << "the option table of " << ORVEL_SERVER_DOC << ", against --help";

  // Every misbehaviour that --help names is read, each as another one.
  std::set<ServerOptions::Misbehaviour> read;
  for (const std::string& option : help) {
    if (option.rfind("--misbehave=", 0) != 0) continue;
    const char* const arguments[] = {"OrvelPropertyServer", option.c_str()};
    ServerOptions options;
    std::string error;
    EXPECT_TRUE(Tools::parseServerOptions(2, arguments, options, error)) << error;
    EXPECT_NE(options.misbehaviour, ServerOptions::Misbehaviour::None) << option;
    read.insert(options.misbehaviour);
  }
  EXPECT_EQ(read.size(), 7u) << "seven misbehaviours, each its own";
}

}  // namespace
