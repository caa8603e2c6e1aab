// The IPC client against a scripted server on a real pipe or socket.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "TestMessages.h"
#include "ipc/Client.h"
#include "ipc/MessageCodec.h"
#include "ipc/ResponseHandshake.h"
#include "platform/ProcessorAffinity.h"
#include "platform/SystemError.h"
#include "support/LogCapture.h"
#include "support/PipeServer.h"
#include "support/SystemCodes.h"
#include "support/ThreadProcessors.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Orvel::Test::PipeConnection;
using Orvel::Test::PipeServer;
using Orvel::Test::Update;

constexpr auto kBound = std::chrono::seconds(20);

struct Echo {
  static constexpr const char* messageName = "Echo";
  std::string text;
  static void describeFields(Orvel::FieldList<Echo>& fields) { fields.add(&Echo::text); }
};

struct EchoReply {
  static constexpr const char* messageName = "EchoReply";
  std::string text;
  static void describeFields(Orvel::FieldList<EchoReply>& fields) { fields.add(&EchoReply::text); }
};

Bytes encodedString(const std::string& text) {
  Bytes bytes(4 + text.size(), 0);
  bytes[0] = static_cast<std::uint8_t>(text.size());
  std::copy(text.begin(), text.end(), bytes.begin() + 4);
  return bytes;
}

// A client that tells the test when its connection ended.
class ObservedClient final : public Orvel::IPC::Client {
 public:
  using Client::Client;
  ~ObservedClient() override { disconnect(); }

  bool waitForLoss(std::chrono::milliseconds bound = kBound) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, bound, [&] { return losses_ > 0; });
  }
  // Where the receiver thread ran when it ended, and how many processors it could use.
  std::optional<Orvel::platform::Processor> receiverProcessor() {
    std::lock_guard<std::mutex> lock(mutex_);
    return receiverProcessor_;
  }
  std::size_t receiverAllowedProcessors() {
    std::lock_guard<std::mutex> lock(mutex_);
    return receiverAllowedProcessors_;
  }
  // Waits until the receiver has queued that many messages in all.
  bool waitForReceived(int count) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, kBound, [&] { return received_ >= count; });
  }

 protected:
  void onMessageReceived(Orvel::IncomingMessage& message) override {
    Client::onMessageReceived(message);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++received_;
    }
    changed_.notify_all();
  }
  void onReceiverStopped() override {
    Client::onReceiverStopped();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++losses_;
      receiverProcessor_ = Orvel::platform::currentProcessor();
      receiverAllowedProcessors_ = Orvel::Test::allowedProcessorCount();
    }
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int losses_ = 0;
  int received_ = 0;
  std::optional<Orvel::platform::Processor> receiverProcessor_;
  std::size_t receiverAllowedProcessors_ = 0;
};

// The server's side of one connection, on a thread of its own: accepts a
// client, answers its handshake, then keeps reading frames, so that the
// client's flushes return.
class ServerSession {
 public:
  enum class Answer { Normal, Short, None };

  ServerSession(PipeServer& server, const std::string& clientName, Answer answer, std::int32_t serverValue = 7)
      : thread_([this, &server, clientName, answer, serverValue] { run(server, clientName, answer, serverValue); }) {}
  ~ServerSession() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
      if (connection_) connection_->close();
    }
    changed_.notify_all();
    thread_.join();
  }

  bool requestOk() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, kBound, [&] { return answered_ || ended_; });
    return requestOk_;
  }
  // The next frame that is not a Ping.
  bool nextFrame(PipeConnection::Frame& frame) { return next(frame, false); }
  // The next Ping; other frames before it are dropped.
  bool nextPing(PipeConnection::Frame& frame) { return next(frame, true); }
  // True once the client has closed its end.
  bool waitForEnd() {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, kBound, [&] { return ended_; });
  }
  bool write(const std::string& name, const Bytes& payload) {
    PipeConnection* connection = nullptr;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait_for(lock, kBound, [&] { return answered_ || ended_; });
      connection = connection_.get();
    }
    return connection != nullptr && connection->writeFrame(name, payload);
  }
  void close() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (connection_) connection_->close();
  }

 private:
  void run(PipeServer& server, const std::string& clientName, Answer answer, std::int32_t serverValue) {
    auto connection = server.accept(kBound);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      connection_ = std::move(connection);
      if (!connection_ || stopping_) return finish();
    }
    PipeConnection::Frame request;
    if (!connection_->readFrame(request, kBound)) return finish();
    Bytes response(8, 0);
    std::memcpy(response.data(), &serverValue, 4);
    if (answer == Answer::Short) response.resize(4);
    if (answer != Answer::None) connection_->writeFrame("ResponseHandshake", response);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      requestOk_ = request.name == "RequestHandshake" && request.payload == encodedString(clientName);
      answered_ = true;
    }
    changed_.notify_all();
    PipeConnection::Frame frame;
    while (connection_->readFrame(frame, std::chrono::hours(1))) {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        frames_.push_back(frame);
      }
      changed_.notify_all();
    }
    finish();
  }

  void finish() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ended_ = true;
    }
    changed_.notify_all();
  }

  bool next(PipeConnection::Frame& frame, bool ping) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      if (!changed_.wait_for(lock, kBound, [&] { return !frames_.empty() || ended_; })) return false;
      if (frames_.empty()) return false;
      frame = frames_.front();
      frames_.pop_front();
      if ((frame.name == "Ping") == ping) return true;
    }
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::unique_ptr<PipeConnection> connection_;
  std::deque<PipeConnection::Frame> frames_;
  bool requestOk_ = false;
  bool answered_ = false;
  bool ended_ = false;
  bool stopping_ = false;
  std::thread thread_;  // last: starts after every other member exists
};

TEST(IPCClient, ShakesHandsSendsAndDispatches) {
  Orvel::Test::LogCapture log;
  PipeServer server(Orvel::Test::uniquePipeName("client"));
  ServerSession session(server, "verifier-test", ServerSession::Answer::Normal, 0x1234);
  ObservedClient client(server.name(), "verifier-test", true);
  // A handler that answers from the handler thread: it sends under its parser's mutex.
  auto echo = client.getParser<Echo>()->addHandler([&](const Echo& e) { client.sendMessage(EchoReply{e.text + "!"}, 0); });

  EXPECT_FALSE(client.sendMessage(Update{"early", 1}, 0)) << "no pipe yet";
  ASSERT_TRUE(client.connect(20000, 20000));
  EXPECT_TRUE(client.isConnected());
  EXPECT_TRUE(session.requestOk());
  EXPECT_EQ(client.getServerValue(), 0x1234);

  // A typed message arrives as one frame with the type's name and encoding.
  ASSERT_TRUE(client.sendMessage(Update{"k", 5}, 0));
  PipeConnection::Frame frame;
  ASSERT_TRUE(session.nextFrame(frame));
  EXPECT_EQ(frame.name, "Update");
  EXPECT_EQ(frame.payload, (Bytes{1, 0, 0, 0, 'k', 5, 0, 0, 0}));

  // Already connected: true at once, no second handshake.
  ASSERT_TRUE(client.connect(0, 0));
  ASSERT_TRUE(client.sendMessage(Update{"m", 6}, 1000));
  ASSERT_TRUE(session.nextFrame(frame));
  EXPECT_EQ(frame.name, "Update");
  EXPECT_EQ(frame.payload, (Bytes{1, 0, 0, 0, 'm', 6, 0, 0, 0}));

  // Dispatch on the handler thread, answered from there.
  ASSERT_TRUE(session.write("Echo", encodedString("hi")));
  ASSERT_TRUE(session.nextFrame(frame));
  EXPECT_EQ(frame.name, "EchoReply");
  EXPECT_EQ(frame.payload, encodedString("hi!"));

  // Pings come every second, with an empty payload.
  ASSERT_TRUE(session.nextPing(frame));
  EXPECT_TRUE(frame.payload.empty());

  // A name without a parser is dropped by the handler thread. "Ping" has a
  // parser now (the client sent one), so its parser drops it.
  ASSERT_TRUE(session.write("Unknown", {}));
  ASSERT_TRUE(session.write("Ping", {}));
  ASSERT_TRUE(log.waitForLine("No handlers for message Ping"));
  EXPECT_EQ(log.lines(),
            (std::vector<std::string>{" WAR [Orvel::IPC::Client::runMessageHandler] No handlers for message 'Unknown'",
                                      " WAR [Orvel::LayerByteMessageParser::parseMessage] No handlers for message Ping"}));

  // The server goes away: the connection is lost.
  session.close();
  ASSERT_TRUE(client.waitForLoss());
  EXPECT_FALSE(client.isConnected());
  EXPECT_EQ(client.getState(), Orvel::IPC::Client::Lost);
  client.disconnect();
  EXPECT_EQ(client.getState(), Orvel::IPC::Client::Disconnected);
  echo.release();
}

TEST(IPCClient, BurstsOfLargeAndSmallMessagesArriveWholeAndInOrder) {
  PipeServer server(Orvel::Test::uniquePipeName("client-burst"));
  ServerSession session(server, "burst", ServerSession::Answer::Normal);
  ObservedClient client(server.name(), "burst", true);
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<std::string> heard;
  auto onEcho = client.getParser<Echo>()->addHandler([&](const Echo& e) {
    std::lock_guard<std::mutex> lock(mutex);
    heard.push_back(e.text);
    changed.notify_all();
  });
  auto onUpdate = client.getParser<Update>()->addHandler([&](const Update& u) {
    std::lock_guard<std::mutex> lock(mutex);
    heard.push_back(u.key + "=" + std::to_string(u.value));
    changed.notify_all();
  });
  ASSERT_TRUE(client.connect(20000, 20000));

  // Large and small payloads and two names take turns, so that a message
  // filled into the buffers of an earlier one must not keep any of its bytes.
  std::vector<std::string> sent;
  for (int i = 0; i < 60; ++i) {
    if (i % 4 == 3) {
      const Update update{"key" + std::to_string(i), i};
      ASSERT_TRUE(session.write("Update", Orvel::encodeMessage(update)));
      sent.push_back(update.key + "=" + std::to_string(i));
      continue;
    }
    const std::string text = i % 4 == 0 ? std::string(100000 + i, static_cast<char>('a' + i % 26)) : "s" + std::to_string(i);
    ASSERT_TRUE(session.write("Echo", Orvel::encodeMessage(Echo{text})));
    sent.push_back(text);
  }
  std::unique_lock<std::mutex> lock(mutex);
  ASSERT_TRUE(changed.wait_for(lock, kBound, [&] { return heard.size() >= sent.size(); }));
  EXPECT_TRUE(heard == sent) << "a message lost, repeated, reordered or mixed with another";
  lock.unlock();
  client.disconnect();
  onEcho.release();
  onUpdate.release();
}

TEST(IPCClient, HandshakeWithoutAnswerFailsAndClosesThePipe) {
  for (const auto answer : {ServerSession::Answer::None, ServerSession::Answer::Short}) {
    Orvel::Test::LogCapture log;
    PipeServer server(Orvel::Test::uniquePipeName("silent"));
    ObservedClient client(server.name(), "silent-test", true);
    {
      ServerSession silent(server, "silent-test", answer);
      EXPECT_FALSE(client.connect(20000, 300));
      EXPECT_TRUE(silent.requestOk());
      EXPECT_TRUE(silent.waitForEnd()) << "the client closes the pipe";
    }
    EXPECT_FALSE(client.isConnected());
    EXPECT_EQ(client.getState(), Orvel::IPC::Client::Lost);
    std::vector<std::string> expected;
    if (answer == ServerSession::Answer::Short) {
      expected = {" ERR [Orvel::BinaryDeserializer::deserialize_impl] Not enough data to deserialize " +
                      std::string(typeid(Orvel::IPC::InternalMessages::ResponseHandshake).name()) +
                      " - dataLeft: 4, required: 8",
                  " ERR [Orvel::LayerByteMessageParser::parseMessage] Corrupted message ResponseHandshake"};
    }
    expected.push_back(" WAR [Orvel::IPC::Client::connect] Handshake failed: Timeout");
    EXPECT_EQ(log.lines(), expected);

    // The loss noticed by that attempt does not spoil the next one.
    ServerSession answering(server, "silent-test", ServerSession::Answer::Normal);
    EXPECT_TRUE(client.connect(20000, 20000));
    EXPECT_TRUE(client.isConnected());
    client.disconnect();
  }
}

TEST(IPCClient, ReportsAConnectionErrorOnce) {
  const std::string name = Orvel::Test::uniquePipeName("nobody");
  const std::uint32_t timeout = Orvel::Test::timeoutErrorCode();
  {
    Orvel::Test::LogCapture log;
    Orvel::IPC::Client client(name, "lonely", true);
    EXPECT_FALSE(client.connect(200, 1000));
    EXPECT_FALSE(client.connect(200, 1000));
    EXPECT_EQ(client.getLastErrorCode(), timeout);
    EXPECT_EQ(log.lines(), (std::vector<std::string>{" WAR [Orvel::IPC::Client::logConnectionErrorIfNecessary] Client \"lonely\" "
                                                     "failed to connect to server pipe \"" +
                                                     name + "\": " + Orvel::formatSystemError(timeout)}));
  }
  {
    // Without a client name the pipe name is shown; without logErrors nothing is.
    Orvel::Test::LogCapture log;
    Orvel::IPC::Client unnamed(name, "", true);
    EXPECT_FALSE(unnamed.connect(100, 1000));
    Orvel::IPC::Client quiet(name, "quiet", false);
    EXPECT_FALSE(quiet.connect(100, 1000));
    EXPECT_EQ(quiet.getLastErrorCode(), timeout);
    EXPECT_EQ(log.lines(), (std::vector<std::string>{" WAR [Orvel::IPC::Client::logConnectionErrorIfNecessary] Client \"" +
                                                     name + "\" failed to connect to server pipe \"" + name +
                                                     "\": " + Orvel::formatSystemError(timeout)}));
  }
}

TEST(IPCClient, CancelledAttemptsGiveUpForGood) {
  Orvel::Test::LogCapture log;
  const std::string name = Orvel::Test::uniquePipeName("cancel");
  Orvel::IPC::Client client(name, "patient", true);
  bool connected = true;
  std::thread connecting([&] { connected = client.connect(0, 1000); });
  // The first 500 ms attempt fails and is reported; the retries are not.
  ASSERT_TRUE(log.waitForLine("failed to connect"));
  client.cancelConnectionAttempts();
  connecting.join();
  EXPECT_FALSE(connected);
  const std::string canceled = " WAR [Orvel::IPC::Client::tryConnection] Connection attempts were canceled, giving up";
  EXPECT_EQ(log.lines(), (std::vector<std::string>{" WAR [Orvel::IPC::Client::logConnectionErrorIfNecessary] Client "
                                                   "\"patient\" failed to connect to server pipe \"" +
                                                       name + "\": " +
                                                       Orvel::formatSystemError(Orvel::Test::timeoutErrorCode()),
                                                   canceled}));
  // Even with a server there now, a cancelled client does not connect again.
  PipeServer server(name);
  log.clear();
  EXPECT_FALSE(client.connect(1000, 1000));
  EXPECT_EQ(log.lines(), std::vector<std::string>{canceled});
}

TEST(IPCClient, FirstPingFailureOfEachConnectionIsLogged) {
  Orvel::Test::LogCapture log;
  PipeServer server(Orvel::Test::uniquePipeName("ping-per-connection"));
  ObservedClient client(server.name(), "reconnecting", true);
  const std::string pingFailed = " WAR [Orvel::IPC::Client::runPing] IPCClient reconnecting: Failed to send ping!";
  for (int connection = 1; connection <= 2; ++connection) {
    SCOPED_TRACE("connection " + std::to_string(connection));
    // The server goes away right after the handshake; the pings of this
    // connection fail from then on, and the first failure is reported, also
    // when the connection before ended with failing pings.
    ServerSession session(server, "reconnecting", ServerSession::Answer::Normal);
    ASSERT_TRUE(client.connect(20000, 20000));
    session.close();
    ASSERT_TRUE(log.waitForLine("Failed to send ping!"));
    EXPECT_EQ(log.linesContaining("Failed to send ping!"), std::vector<std::string>{pingFailed});
    log.clear();  // later failures of this connection are not reported
  }
  client.disconnect();
}

// disconnect returns once every thread of the connection has ended, the
// ping thread in the middle of its one-second wait among them; how soon is
// for the benchmarks to measure.
// The receiver and handler threads pass every message on in turn: they stay
// on one processor, the one the connecting thread ran on, while the
// connecting thread itself is left free.
TEST(IPCClient, TheConnectionsThreadsShareOneProcessor) {
  const std::size_t allowed = Orvel::Test::allowedProcessorCount();
  if (allowed < 2) GTEST_SKIP() << "this thread may use one processor only: nothing to tell apart";
  PipeServer server(Orvel::Test::uniquePipeName("processor"));
  ServerSession session(server, "processor-test", ServerSession::Answer::Normal);
  ObservedClient client(server.name(), "processor-test", true);
  std::mutex mutex;
  std::condition_variable handled;
  std::optional<Orvel::platform::Processor> handlerProcessor;
  std::size_t handlerAllowed = 0;
  auto echo = client.getParser<Echo>()->addHandler([&](const Echo&) {
    const std::optional<Orvel::platform::Processor> now = Orvel::platform::currentProcessor();
    const std::size_t count = Orvel::Test::allowedProcessorCount();
    {
      std::lock_guard<std::mutex> lock(mutex);
      handlerProcessor = now;
      handlerAllowed = count;
    }
    handled.notify_all();
  });
  ASSERT_TRUE(client.connect(20000, 20000));
  EXPECT_EQ(Orvel::Test::allowedProcessorCount(), allowed) << "the connecting thread is not held";

  ASSERT_TRUE(session.write("Echo", encodedString("where")));
  {
    std::unique_lock<std::mutex> lock(mutex);
    ASSERT_TRUE(handled.wait_for(lock, kBound, [&] { return handlerAllowed != 0; }));
  }
  session.close();
  ASSERT_TRUE(client.waitForLoss());
  EXPECT_EQ(handlerAllowed, 1u);
  EXPECT_EQ(client.receiverAllowedProcessors(), 1u);
  ASSERT_TRUE(handlerProcessor.has_value());
  const std::optional<Orvel::platform::Processor> receiverProcessor = client.receiverProcessor();
  ASSERT_TRUE(receiverProcessor.has_value());
  EXPECT_EQ(receiverProcessor->group, handlerProcessor->group);
  EXPECT_EQ(receiverProcessor->number, handlerProcessor->number);
  client.disconnect();
  echo.release();
}

TEST(IPCClient, DisconnectEndsEveryThread) {
  PipeServer server(Orvel::Test::uniquePipeName("quick"));
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    ServerSession session(server, "quick-test", ServerSession::Answer::Normal);
    Orvel::IPC::Client client(server.name(), "quick-test", true);
    ASSERT_TRUE(client.connect(20000, 20000));
    client.disconnect();
    EXPECT_EQ(client.getState(), Orvel::IPC::Client::Disconnected);
    EXPECT_TRUE(session.waitForEnd()) << "the pipe is closed";
    client.disconnect();  // idempotent
    EXPECT_EQ(client.getState(), Orvel::IPC::Client::Disconnected);
    EXPECT_FALSE(client.sendMessage(Update{"after", 1}, 0)) << "no pipe any more";
  }
}

// A message that a connection queued but whose handler thread stopped first
// belongs to that connection: the next connection's handler never
// dispatches it (a client would take an old server's definitions for the
// new one's).
TEST(IPCClient, MessagesLeftQueuedByALostConnectionAreNotDispatchedOnTheNext) {
  Orvel::Test::LogCapture log;
  PipeServer server(Orvel::Test::uniquePipeName("stale"));
  ObservedClient client(server.name(), "stale-test", true);
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<std::string> dispatched;  // each text, with the connection it came in: "text@1"
  int connection = 1;
  bool holding = false;
  bool released = false;
  // "hold" keeps the handler thread until the test lets it go.
  auto echo = client.getParser<Echo>()->addHandler([&](const Echo& e) {
    std::unique_lock<std::mutex> lock(mutex);
    dispatched.push_back(e.text + "@" + std::to_string(connection));
    if (e.text == "hold") {
      holding = true;
      changed.notify_all();
      changed.wait_for(lock, kBound, [&] { return released; });
    }
    changed.notify_all();
  });
  {
    ServerSession first(server, "stale-test", ServerSession::Answer::Normal);
    ASSERT_TRUE(client.connect(20000, 20000));
    ASSERT_TRUE(first.write("Echo", encodedString("hold")));
    {
      std::unique_lock<std::mutex> lock(mutex);
      ASSERT_TRUE(changed.wait_for(lock, kBound, [&] { return holding; }));
    }
    // Queued behind the held one (the handshake answer was the first).
    ASSERT_TRUE(first.write("Echo", encodedString("left queued")));
    ASSERT_TRUE(client.waitForReceived(3));
    // The connection ends while the handler still holds: disconnect stops the
    // handler, which then finds the queued message and leaves it (or, when
    // it is let go before it is told to stop, still dispatches it in this
    // connection).
    std::thread disconnecting([&] { client.disconnect(); });
    ASSERT_TRUE(client.waitForLoss());
    {
      std::lock_guard<std::mutex> lock(mutex);
      released = true;
    }
    changed.notify_all();
    disconnecting.join();
  }
  {
    std::lock_guard<std::mutex> lock(mutex);
    connection = 2;
  }
  ServerSession second(server, "stale-test", ServerSession::Answer::Normal);
  ASSERT_TRUE(client.connect(20000, 20000));
  ASSERT_TRUE(second.write("Echo", encodedString("fresh")));
  {
    std::unique_lock<std::mutex> lock(mutex);
    ASSERT_TRUE(changed.wait_for(lock, kBound, [&] { return dispatched.back() == "fresh@2"; })) << dispatched.back();
    std::vector<std::string> afterHold(dispatched.begin() + 1, dispatched.end());
    if (afterHold.front() == "left queued@1") afterHold.erase(afterHold.begin());
    EXPECT_EQ(dispatched.front(), "hold@1");
    EXPECT_EQ(afterHold, std::vector<std::string>{"fresh@2"});
  }
  client.disconnect();
  echo.release();
}

}  // namespace
