// Frame encoding and writing a frame to a stream.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ScriptedStream.h"
#include "ipc/LayerByteMessage.h"
#include "platform/SystemError.h"
#include "support/LogCapture.h"
#include "support/SystemCodes.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(LayerByteMessage, EncodesFrames) {
  struct Case {
    std::string name;
    Bytes payload;
    Bytes frame;
  };
  const std::vector<Case> cases = {
      {"Ping", {}, {0x14, 0, 0, 0, 0x6F, 0x72, 0x76, 0x65, 4, 0, 0, 0, 0x50, 0x69, 0x6E, 0x67, 0, 0, 0, 0}},
      {"", {}, {0x10, 0, 0, 0, 'o', 'r', 'v', 'e', 0, 0, 0, 0, 0, 0, 0, 0}},
      {"A", {0xAB, 0xCD}, {0x13, 0, 0, 0, 'o', 'r', 'v', 'e', 1, 0, 0, 0, 'A', 2, 0, 0, 0, 0xAB, 0xCD}},
  };
  for (const Case& c : cases) {
    const Orvel::LayerByteMessage message(c.name, c.payload.data(), static_cast<std::uint32_t>(c.payload.size()));
    EXPECT_EQ(message.bytes(), c.frame) << c.name;
  }
  // A payload of 300 bytes: the length fields carry more than one byte.
  const Bytes payload(300, 0x5A);
  const Orvel::LayerByteMessage large("Big", payload.data(), 300);
  ASSERT_EQ(large.bytes().size(), 319u);
  EXPECT_EQ(Bytes(large.bytes().begin(), large.bytes().begin() + 4), (Bytes{0x3F, 0x01, 0, 0}));
  EXPECT_EQ(Bytes(large.bytes().begin() + 15, large.bytes().begin() + 19), (Bytes{0x2C, 0x01, 0, 0}));
}

TEST(LayerByteMessage, WritesHeaderFirstThenTheRest) {
  const Bytes payload(40, 7);
  const auto message = std::make_shared<Orvel::LayerByteMessage>("Name", payload.data(), 40);
  const Bytes& frame = message->bytes();
  Orvel::Test::LogCapture log;

  {
    // No limit: header, rest, then a flush.
    auto stream = std::make_shared<Orvel::Test::ScriptedStream>();
    EXPECT_TRUE(Orvel::LayerByteMessage::writeToPipe(stream, message, 0));
    ASSERT_EQ(stream->writes().size(), 2u);
    EXPECT_EQ(stream->writes()[0], Bytes(frame.begin(), frame.begin() + 8));
    EXPECT_EQ(stream->writes()[1], Bytes(frame.begin() + 8, frame.end()));
    EXPECT_EQ(stream->writeTimeouts(), (std::vector<std::int64_t>{0, 0}));
    EXPECT_EQ(stream->flushes(), 1);
  }
  {
    // A positive timeout skips the flush; a stream that takes 10 bytes at a
    // time gets the rest in pieces, each with the time left.
    auto stream = std::make_shared<Orvel::Test::ScriptedStream>();
    stream->setMaxWriteSize(10);
    EXPECT_TRUE(Orvel::LayerByteMessage::writeToPipe(stream, message, 60000));
    Bytes joined;
    for (const auto& write : stream->writes()) joined.insert(joined.end(), write.begin(), write.end());
    EXPECT_EQ(joined, frame);
    EXPECT_EQ(stream->writes().size(), 1u + 6u);  // 8, then 52 bytes in pieces of 10
    for (std::int64_t timeout : stream->writeTimeouts()) {
      EXPECT_GT(timeout, 0);
      EXPECT_LE(timeout, 60000);
    }
    EXPECT_EQ(stream->flushes(), 0);
  }
  EXPECT_EQ(log.lines(), std::vector<std::string>{});

  // Failures: a recorded error is logged, a quiet end is not.
  const std::uint32_t code = Orvel::Test::timeoutErrorCode();
  struct Case {
    int failingWrite;
    std::uint32_t code;
    std::vector<std::string> lines;
  };
  const std::string warning = " WAR [Orvel::LayerByteMessage::writeToPipe] Failed to send message: ";
  const std::vector<Case> cases = {
      {0, code, {warning + Orvel::formatSystemError(code)}},
      {1, code, {warning + Orvel::formatSystemError(code)}},
      {0, 0, {}},
      {1, 0, {}},
  };
  for (const Case& c : cases) {
    log.clear();
    auto stream = std::make_shared<Orvel::Test::ScriptedStream>();
    stream->failWrite(c.failingWrite, c.code);
    EXPECT_FALSE(Orvel::LayerByteMessage::writeToPipe(stream, message, 0)) << c.failingWrite;
    EXPECT_EQ(stream->flushes(), 0);
    EXPECT_EQ(log.lines(), c.lines) << c.failingWrite << " " << c.code;
  }
  EXPECT_FALSE(Orvel::LayerByteMessage::writeToPipe(nullptr, message, 0));
}

}  // namespace
