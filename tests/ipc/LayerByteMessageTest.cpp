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
#include "support/WireBytes.h"

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

// The rules every reader of frames shares: which headers start a frame to
// read, and which bodies split into a name and a payload.
TEST(LayerByteMessage, JudgesHeadersAndSplitsBodies) {
  using Header = Orvel::LayerByteMessage::Header;
  const std::uint32_t ceiling = Orvel::LayerByteMessage::kMaximumFrameLength;
  const auto header = [](std::uint32_t total, const std::string& signature) {
    Bytes bytes;
    Orvel::Test::putU32(bytes, total);
    bytes.insert(bytes.end(), signature.begin(), signature.end());
    return bytes;
  };
  const struct {
    Bytes header;
    Header expected;
  } headers[] = {
      {header(16, "orve"), Header::Accepted},
      {header(ceiling, "orve"), Header::Accepted},
      {header(15, "orve"), Header::TooShort},
      {header(0, "orve"), Header::TooShort},
      {header(ceiling + 1, "orve"), Header::TooLong},
      {header(0xFFFFFFFF, "orve"), Header::TooLong},
      {header(20, "Orve"), Header::BadSignature},
      {header(5, "evro"), Header::BadSignature},
  };
  for (const auto& c : headers) {
    EXPECT_EQ(Orvel::LayerByteMessage::checkHeader(c.header.data()), c.expected) << ::testing::PrintToString(c.header);
  }

  // Bodies: the bytes after the header of an encoded frame, whole, then with
  // one byte more or less than its lengths say.
  const Bytes frame = Orvel::LayerByteMessage("Name", "\x01\x02\x03", 3).bytes();
  const Bytes body(frame.begin() + 8, frame.end());
  Orvel::IncomingMessage message{"stale", {9, 9, 9, 9}};
  ASSERT_TRUE(Orvel::LayerByteMessage::decodeBody(body.data(), static_cast<std::uint32_t>(body.size()), message));
  EXPECT_EQ(message.name, "Name");
  EXPECT_EQ(message.payload, (Bytes{1, 2, 3}));
  Bytes longer = body;
  longer.push_back(0);
  const struct {
    const char* what;
    Bytes body;
  } refused[] = {
      {"trailing byte", longer},
      {"payload cut short", Bytes(body.begin(), body.end() - 1)},
      {"name longer than the body", Bytes{200, 0, 0, 0, 0, 0, 0, 0}},
      {"no room for the lengths", Bytes{0, 0, 0, 0, 0, 0, 0}},
  };
  for (const auto& c : refused) {
    Orvel::IncomingMessage untouched{"kept", {7}};
    EXPECT_FALSE(Orvel::LayerByteMessage::decodeBody(c.body.data(), static_cast<std::uint32_t>(c.body.size()), untouched))
        << c.what;
    EXPECT_EQ(untouched.name, "kept") << c.what;
  }
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
