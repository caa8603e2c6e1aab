// The client end of the named pipe against a real server end.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ConnectedPair.h"
#include "ipc/ReadWritePipe.h"
#include "platform/SystemError.h"
#include "support/LogCapture.h"
#include "support/PipeServer.h"
#include "support/SystemCodes.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;
using Orvel::Test::PipeConnection;
using Orvel::Test::PipeServer;
using Orvel::Test::connectPair;

TEST(ReadWritePipe, ConnectFailsWithTheTimeoutError) {
  Orvel::Test::LogCapture log;
  const std::string name = Orvel::Test::uniquePipeName("absent");
  for (const std::int64_t timeout : {0, -5}) {
    Orvel::setLastSystemErrorCode(0);
    EXPECT_EQ(Orvel::ReadWritePipe::connect(name, timeout), nullptr) << timeout;
    EXPECT_EQ(Orvel::lastSystemErrorCode(), Orvel::Test::timeoutErrorCode()) << timeout;
  }
  // No server: polls until the deadline, then the timeout error and no log.
  const auto start = Clock::now();
  EXPECT_EQ(Orvel::ReadWritePipe::connect(name, 300), nullptr);
  EXPECT_EQ(Orvel::lastSystemErrorCode(), Orvel::Test::timeoutErrorCode());
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(250));
  EXPECT_EQ(log.lines(), std::vector<std::string>{});
}

TEST(ReadWritePipe, ConnectWaitsForAServerThatAppearsLater) {
  const std::string name = Orvel::Test::uniquePipeName("later");
  std::unique_ptr<PipeServer> server;
  std::unique_ptr<PipeConnection> connection;
  std::thread serving([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    server = std::make_unique<PipeServer>(name);
    connection = server->accept(std::chrono::seconds(20));
  });
  const auto pipe = Orvel::ReadWritePipe::connect(name, 20000);
  serving.join();
  ASSERT_TRUE(pipe);
  EXPECT_EQ(pipe->getName(), name);
  EXPECT_TRUE(connection);
}

// A client that connects and leaves before the server takes it up (it gave
// up waiting, or was killed) must not keep the server from taking the next.
TEST(ReadWritePipe, AClientThatLeftBeforeTheServerAcceptedDoesNotStopTheNext) {
  PipeServer server(Orvel::Test::uniquePipeName("left-early"));
  ASSERT_TRUE(server.isListening());
  ASSERT_TRUE(Orvel::ReadWritePipe::connect(server.name(), 20000)) << "the client that leaves at once";
  std::shared_ptr<Orvel::ReadWritePipe> next;
  std::thread connecting([&] {
    next = Orvel::ReadWritePipe::connect(server.name(), 20000);
    std::uint8_t byte = 'x';
    std::uint32_t size = 1;
    if (next) next->write(&byte, size, 0);
  });
  // Accepted one after another, the connections end with the next client's
  // byte (the one that left may come first, as a connection that ends).
  std::uint8_t received = 0;
  const auto deadline = Clock::now() + std::chrono::seconds(20);
  while (received == 0 && Clock::now() < deadline) {
    const auto connection = server.accept(std::chrono::milliseconds(200));
    if (!connection) continue;
    std::size_t size = 1;
    if (connection->readSome(&received, size, std::chrono::seconds(20)) != PipeConnection::ReadStatus::Data) received = 0;
  }
  connecting.join();
  EXPECT_TRUE(next);
  EXPECT_EQ(received, 'x');
}

TEST(ReadWritePipe, CarriesBytesBothWays) {
  Orvel::Test::LogCapture log;
  auto pair = connectPair("bytes");
  ASSERT_TRUE(pair.pipe);
  ASSERT_TRUE(pair.connection);
  EXPECT_FALSE(pair.pipe->isClosed());
  EXPECT_FALSE(pair.pipe->hasError());
  EXPECT_EQ(pair.pipe->getErrorMessage(), "");

  for (const std::int64_t timeout : {0, 5000, -1}) {
    const Bytes sent = {1, 2, 3, static_cast<std::uint8_t>(timeout & 0xFF)};
    std::uint32_t size = 4;
    ASSERT_TRUE(pair.pipe->write(sent.data(), size, timeout)) << timeout;
    EXPECT_EQ(size, 4u);
    Bytes got(4);
    ASSERT_TRUE(pair.connection->readExact(got.data(), 4, std::chrono::seconds(20)));
    EXPECT_EQ(got, sent) << timeout;
  }
  ASSERT_TRUE(pair.pipe->flush());

  const Bytes reply = {9, 8, 7, 6, 5};
  ASSERT_TRUE(pair.connection->writeAll(reply));
  Bytes got;
  while (got.size() < reply.size()) {
    std::uint8_t buffer[16];
    std::uint32_t size = sizeof buffer;
    ASSERT_TRUE(pair.pipe->read(buffer, size));
    got.insert(got.end(), buffer, buffer + size);
  }
  EXPECT_EQ(got, reply);
  EXPECT_EQ(log.lines(), std::vector<std::string>{});
}

TEST(ReadWritePipe, CloseEndsABlockedReadQuietly) {
  Orvel::Test::LogCapture log;
  auto pair = connectPair("close");
  ASSERT_TRUE(pair.pipe);
  bool readResult = true;
  std::thread reader([&] {
    std::uint8_t buffer[8];
    std::uint32_t size = sizeof buffer;
    readResult = pair.pipe->read(buffer, size);
  });
  pair.pipe->close();
  reader.join();
  EXPECT_FALSE(readResult);
  EXPECT_TRUE(pair.pipe->isClosed());
  EXPECT_FALSE(pair.pipe->hasError());

  // Everything after close fails quietly; a second close does nothing.
  std::uint8_t byte = 1;
  std::uint32_t size = 1;
  EXPECT_FALSE(pair.pipe->read(&byte, size));
  EXPECT_FALSE(pair.pipe->hasError());
  size = 1;
  EXPECT_FALSE(pair.pipe->write(&byte, size, 0));
  EXPECT_FALSE(pair.pipe->hasError());
  EXPECT_FALSE(pair.pipe->flush());
  EXPECT_FALSE(pair.pipe->hasError());
  pair.pipe->close();
  EXPECT_EQ(log.lines(), std::vector<std::string>{});
  // The server sees the client's end close.
  EXPECT_TRUE(pair.connection->waitForEnd(std::chrono::seconds(20)));
}

TEST(ReadWritePipe, ServerClosingIsAQuietEnd) {
  auto pair = connectPair("server-close");
  ASSERT_TRUE(pair.pipe);
  pair.connection->close();
  std::uint8_t buffer[8];
  std::uint32_t size = sizeof buffer;
  EXPECT_FALSE(pair.pipe->read(buffer, size));
  EXPECT_FALSE(pair.pipe->hasError());
  EXPECT_FALSE(pair.pipe->isClosed());
}

TEST(ReadWritePipe, TimedWriteToAServerThatDoesNotReadTimesOut) {
  auto pair = connectPair("full", 4096);
  ASSERT_TRUE(pair.pipe);
  // Fill whatever the system buffers; the write that cannot finish times out.
  const Bytes chunk(64 * 1024, 0x42);
  bool timedOut = false;
  for (int i = 0; i < 1000 && !timedOut; ++i) {
    std::uint32_t size = static_cast<std::uint32_t>(chunk.size());
    timedOut = !pair.pipe->write(chunk.data(), size, 100);
  }
  ASSERT_TRUE(timedOut);
  const std::uint32_t code = Orvel::Test::timeoutErrorCode();
  EXPECT_EQ(pair.pipe->getErrorCode(), code);
  EXPECT_TRUE(pair.pipe->hasError());
  EXPECT_EQ(pair.pipe->getErrorMessage(), Orvel::formatSystemError(code));
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%X", static_cast<unsigned>(code));
  EXPECT_EQ(pair.pipe->getErrorMessage().rfind(hex, 0), 0u) << pair.pipe->getErrorMessage();
  // A negative timeout accepts only a write that completes at once.
  std::uint32_t size = static_cast<std::uint32_t>(chunk.size());
  EXPECT_FALSE(pair.pipe->write(chunk.data(), size, -1));
  EXPECT_EQ(pair.pipe->getErrorCode(), code);
  // The next operation clears the recorded error.
  EXPECT_TRUE(pair.connection->writeAll(Bytes{1}));
  std::uint8_t byte = 0;
  size = 1;
  EXPECT_TRUE(pair.pipe->read(&byte, size));
  EXPECT_FALSE(pair.pipe->hasError());
  pair.pipe->close();
}

TEST(ReadWritePipe, FlushWaitsUntilTheServerHasReadEverything) {
  Orvel::Test::LogCapture log;
  auto pair = connectPair("flush");
  ASSERT_TRUE(pair.pipe);
  ASSERT_TRUE(pair.connection);
  for (int round = 0; round < 3; ++round) {
    const Bytes sent(1000, static_cast<std::uint8_t>(0x30 + round));
    std::uint32_t size = static_cast<std::uint32_t>(sent.size());
    ASSERT_TRUE(pair.pipe->write(sent.data(), size, 0));
    ASSERT_EQ(size, sent.size());
    std::promise<bool> flushed;
    std::future<bool> result = flushed.get_future();
    std::thread flushing([&] { flushed.set_value(pair.pipe->flush()); });
    // One byte still unread: the flush goes on waiting.
    Bytes got(sent.size());
    ASSERT_TRUE(pair.connection->readExact(got.data(), sent.size() - 1, std::chrono::seconds(20)));
    EXPECT_EQ(result.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout) << round;
    // The last byte read: the flush ends.
    ASSERT_TRUE(pair.connection->readExact(got.data() + sent.size() - 1, 1, std::chrono::seconds(20)));
    ASSERT_EQ(result.wait_for(std::chrono::seconds(20)), std::future_status::ready) << round;
    EXPECT_TRUE(result.get()) << round;
    flushing.join();
    EXPECT_EQ(got, sent) << round;
  }
  // With nothing unread it returns at once.
  EXPECT_TRUE(pair.pipe->flush());
  EXPECT_FALSE(pair.pipe->hasError());
  EXPECT_EQ(log.lines(), std::vector<std::string>{});
}

TEST(ReadWritePipe, FlushEndsWhenTheServerClosesWithoutReading) {
  Orvel::Test::LogCapture log;
  auto pair = Orvel::Test::connectPairWithUnreadBytes("flush-close", 1000);
  ASSERT_TRUE(pair.pipe);
  std::future<bool> result = std::async(std::launch::async, [&] { return pair.pipe->flush(); });
  EXPECT_EQ(result.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
  pair.connection->close();
  // It must not wait for bytes nobody will read, nor take them for read; a
  // server that went away is a quiet end.
  ASSERT_EQ(result.wait_for(std::chrono::seconds(20)), std::future_status::ready);
  EXPECT_FALSE(result.get());
  EXPECT_FALSE(pair.pipe->hasError());
  EXPECT_EQ(log.lines(), std::vector<std::string>{});
}

// close from another thread ends every call under way, a flush that waits
// for a server that reads nothing included, and they end quietly.
TEST(ReadWritePipe, CloseEndsAReadAWriteAndAFlushUnderWay) {
  Orvel::Test::LogCapture log;
  auto pair = Orvel::Test::connectPairWithUnreadBytes("close-under-way", 1000);
  ASSERT_TRUE(pair.pipe);
  std::future<bool> flushed = std::async(std::launch::async, [&] { return pair.pipe->flush(); });
  std::future<bool> read = std::async(std::launch::async, [&] {
    Bytes got(10);
    std::uint32_t wanted = static_cast<std::uint32_t>(got.size());
    return pair.pipe->read(got.data(), wanted);
  });
  // A write larger than the pipe holds, to a server that reads nothing: it
  // never writes it all (a stream may also end it early with what it took).
  std::future<bool> written = std::async(std::launch::async, [&] {
    const Bytes big(4 * 1024 * 1024, 0x45);
    std::uint32_t bigSize = static_cast<std::uint32_t>(big.size());
    return pair.pipe->write(big.data(), bigSize, 60000) && bigSize == big.size();
  });
  EXPECT_EQ(flushed.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
  pair.pipe->close();
  for (std::future<bool>* call : {&flushed, &read, &written}) {
    ASSERT_EQ(call->wait_for(std::chrono::seconds(20)), std::future_status::ready);
    EXPECT_FALSE(call->get());
  }
  EXPECT_FALSE(pair.pipe->hasError());
  EXPECT_EQ(log.lines(), std::vector<std::string>{});
}

}  // namespace
