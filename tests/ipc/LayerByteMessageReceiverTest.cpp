// The frame receiver: reassembly, resynchronisation after damaged input,
// and the end of a run, over a scripted stream and over a real pipe.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "RecordingReceiver.h"
#include "ScriptedStream.h"
#include "ipc/FrameScanner.h"
#include "ipc/LayerByteMessage.h"
#include "ipc/ReadWritePipe.h"
#include "platform/SystemError.h"
#include "support/FrameBytes.h"
#include "support/LogCapture.h"
#include "support/PipeServer.h"
#include "support/SystemCodes.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Orvel::Test::PipeConnection;

const std::string kRun = " WAR [Orvel::LayerByteMessageReceiver::run] ";
const std::string kBadSignature = kRun + "Invalid message signature: ";
const std::string kCorrupted = kRun + "Corrupted message";

Bytes frame(const std::string& name, const Bytes& payload) { return Orvel::Test::frameBytes(name, payload); }

Bytes join(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// The signature field of a damaged header, as the warning prints it.
std::string signatureOf(const Bytes& bytes, std::size_t at) {
  const std::uint32_t value = bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | static_cast<std::uint32_t>(bytes[at + 3]) << 24;
  return std::to_string(static_cast<std::int32_t>(value)) + " != 1702261359";
}

struct Expected {
  std::string name;
  Bytes payload;
};

// Feeds input to a receiver in chunks of at most maxRead bytes and compares
// the delivered messages and log lines once the input is used up. Gives the
// sizes of the reads the receiver asked for.
std::vector<std::uint32_t> expectReceived(const std::string& label, const Bytes& input, std::uint32_t maxRead,
                                          const std::vector<Expected>& messages,
                                          const std::vector<std::string>& lines) {
  Orvel::Test::LogCapture log;
  Orvel::Test::ScriptedStream stream;
  stream.setMaxReadSize(maxRead);
  stream.addChunk(input);
  stream.endStream();
  Orvel::Test::RecordingReceiver receiver;
  receiver.start(&stream);
  EXPECT_TRUE(receiver.waitForStop()) << label;
  receiver.stop();
  const auto received = receiver.messages();
  EXPECT_EQ(received.size(), messages.size()) << label;
  for (std::size_t i = 0; i < std::min(messages.size(), received.size()); ++i) {
    EXPECT_EQ(received[i].name, messages[i].name) << label << " message " << i;
    EXPECT_EQ(received[i].payload, messages[i].payload) << label << " message " << i;
  }
  EXPECT_EQ(log.lines(), lines) << label;
  EXPECT_EQ(receiver.stops(), 1) << label;
  return stream.readRequests();
}

TEST(LayerByteMessageReceiver, AssemblesAndResynchronises) {
  const Bytes ping = frame("Ping", {});
  const Bytes named = frame("Name", {1, 2, 3});
  const Bytes garbage = {'g', 'a', 'r', 'b', 'a', 'g', 'e', '!', '?', '#'};

  Bytes offByOne = frame("Bad", {9, 9});
  offByOne[15 + 0] = 3;  // payloadLength says 3, totalLength leaves room for 2

  Bytes tooShort = {12, 0, 0, 0, 'o', 'r', 'v', 'e'};  // totalLength below 16: no body is read
  // A frame of exactly the longest length accepted.
  const Bytes longestPayload(Orvel::LayerByteMessage::kMaximumFrameLength - 16 - 7, 0x5A);
  const Bytes longest = frame("Longest", longestPayload);

  Bytes nameTooLong = frame("N", {});
  nameTooLong[8] = 9;

  const Bytes bigPayload(5000, 0xA5);

  struct Case {
    std::string label;
    Bytes input;
    std::uint32_t maxRead;
    std::vector<Expected> messages;
    std::vector<std::string> lines;
  };
  const std::vector<Case> cases = {
      {"ping in single bytes", ping, 1, {{"Ping", {}}}, {}},
      {"ping in one piece", ping, 0xFFFF, {{"Ping", {}}}, {}},
      {"empty name and payload", frame("", {}), 1, {{"", {}}}, {}},
      {"two frames back to back", join({named, ping}), 0xFFFF, {{"Name", {1, 2, 3}}, {"Ping", {}}}, {}},
      {"garbage before a frame", join({garbage, named}), 0xFFFF, {{"Name", {1, 2, 3}}},
       {kBadSignature + signatureOf(garbage, 4)}},
      {"garbage before a frame, single bytes", join({garbage, named}), 1, {{"Name", {1, 2, 3}}},
       {kBadSignature + signatureOf(garbage, 4)}},
      // The held 8 bytes end in the first 3, 2 or 1 bytes of the signature.
      {"signature prefix of 3", join({{'x'}, ping}), 0xFFFF, {{"Ping", {}}}, {kBadSignature + signatureOf(join({{'x'}, ping}), 4)}},
      {"signature prefix of 2", join({{'x', 'y'}, ping}), 0xFFFF, {{"Ping", {}}},
       {kBadSignature + signatureOf(join({{'x', 'y'}, ping}), 4)}},
      {"signature prefix of 1", join({{'x', 'y', 'z'}, ping}), 0xFFFF, {{"Ping", {}}},
       {kBadSignature + signatureOf(join({{'x', 'y', 'z'}, ping}), 4)}},
      {"payload length off by one", join({offByOne, ping}), 0xFFFF, {{"Ping", {}}}, {kCorrupted}},
      {"name longer than the frame", join({nameTooLong, ping}), 0xFFFF, {{"Ping", {}}}, {kCorrupted}},
      {"total length below 16", join({tooShort, ping}), 0xFFFF, {{"Ping", {}}}, {kCorrupted}},
      {"total length at the ceiling", join({longest, ping}), 0xFFFFFFFF,
       {{"Longest", longestPayload}, {"Ping", {}}}, {}},
      {"frame larger than the buffer, then a small one", join({frame("Big", bigPayload), ping, frame("Big", bigPayload)}),
       700, {{"Big", bigPayload}, {"Ping", {}}, {"Big", bigPayload}}, {}},
      {"only garbage", garbage, 0xFFFF, {}, {kBadSignature + signatureOf(garbage, 4)}},
  };
  for (const Case& c : cases) expectReceived(c.label, c.input, c.maxRead, c.messages, c.lines);
}

// A frame longer than the ceiling is read past whole, a piece at a time, and
// nothing inside it is taken for a frame: not even whole frames that a peer
// put there, as the bytes of one long value.
TEST(LayerByteMessageReceiver, SkipsAFrameTooLongToAcceptWithoutLookingInside) {
  const Bytes ping = frame("Ping", {});
  const Bytes update = frame("PropertyUpdateToClient", join({{4, 0, 0, 0}, {'K', '.', 'e', 'y'}, {2, 0, 0, 0}, {'h', 'i'}}));
  const Bytes definitions = frame("PropertyDefinitions", {1, 0, 0, 0, 9, 9, 9, 9});
  const std::uint32_t seventeenMiB = 17u * 1024u * 1024u;
  // A well-formed frame of 17 MiB whose payload holds a hidden frame at its
  // start or at its very end.
  const auto carrying = [&](const Bytes& hidden, bool atEnd) {
    Bytes payload(seventeenMiB - 16 - 4, 'x');
    std::copy(hidden.begin(), hidden.end(), atEnd ? payload.end() - static_cast<std::ptrdiff_t>(hidden.size()) : payload.begin());
    return frame("Long", payload);
  };
  // Announces 4 GiB - 1 bytes; the stream ends long before.
  const Bytes endless = {0xFF, 0xFF, 0xFF, 0xFF, 'o', 'r', 'v', 'e'};

  struct Case {
    std::string label;
    Bytes input;
    std::vector<Expected> messages;
    std::size_t refused;  // frames refused, each with one warning
  };
  const std::vector<Case> cases = {
      {"update hidden at the start", join({carrying(update, false), ping}), {{"Ping", {}}}, 1},
      {"definitions hidden at the end", join({carrying(definitions, true), ping}), {{"Ping", {}}}, 1},
      {"two, back to back", join({carrying(update, true), carrying(definitions, false), ping}), {{"Ping", {}}}, 2},
      {"4 GiB - 1 announced", join({endless, update, definitions, ping}), {}, 1},
      {"4 GiB - 1 announced after a frame", join({ping, endless, ping}), {{"Ping", {}}}, 1},
  };
  for (const Case& c : cases) {
    const auto reads = expectReceived(c.label, c.input, 0xFFFFFFFF, c.messages,
                                      std::vector<std::string>(c.refused, kCorrupted));
    // The buffer that a receiver starts with never grew.
    EXPECT_LE(*std::max_element(reads.begin(), reads.end()), Orvel::FrameScanner::kReadAheadBytes) << c.label;
  }
}

TEST(LayerByteMessageReceiver, ReadsAheadAndDeliversEveryFrameOfARead) {
  Orvel::Test::ScriptedStream stream;
  stream.addChunk(join({frame("Ping", {}), frame("Name", {1, 2, 3})}));
  Orvel::Test::RecordingReceiver receiver;
  receiver.start(&stream);
  ASSERT_TRUE(receiver.waitForMessages(2));
  stream.close();
  ASSERT_TRUE(receiver.waitForStop());
  // One read for both frames, then the read that close ended: both short
  // ones, as no read came back full.
  EXPECT_EQ(stream.readRequests(),
            (std::vector<std::uint32_t>{Orvel::FrameScanner::kDirectThreshold, Orvel::FrameScanner::kDirectThreshold}));
}

TEST(LayerByteMessageReceiver, EndsQuietlyOrLogsTheReadError) {
  const std::uint32_t code = Orvel::Test::timeoutErrorCode();
  struct Case {
    std::string label;
    Bytes input;
    std::uint32_t endCode;
    std::vector<std::string> lines;
  };
  const std::vector<Case> cases = {
      {"end of stream before a header", {}, 0, {}},
      {"end of stream inside a header", {0x14, 0, 0}, 0, {}},
      {"end of stream inside a body", {0x14, 0, 0, 0, 'o', 'r', 'v', 'e', 4}, 0, {}},
      {"read error", {}, code,
       {" WAR [Orvel::LayerByteMessageReceiver::logError] Read error " + Orvel::formatSystemError(code)}},
  };
  for (const Case& c : cases) {
    Orvel::Test::LogCapture log;
    Orvel::Test::ScriptedStream stream;
    stream.addChunk(c.input);
    stream.endStream(c.endCode);
    Orvel::Test::RecordingReceiver receiver;
    receiver.start(&stream);
    ASSERT_TRUE(receiver.waitForStop()) << c.label;
    receiver.stop();
    EXPECT_EQ(receiver.stops(), 1) << c.label;
    EXPECT_TRUE(receiver.messages().empty()) << c.label;
    // A body read that fails logs too, then the header read ends the run.
    std::vector<std::string> lines = c.lines;
    EXPECT_EQ(log.lines(), lines) << c.label;
  }

  // Closing while the run blocks in a header read: no log, one stop. A
  // receiver can then be started again.
  Orvel::Test::LogCapture log;
  Orvel::Test::RecordingReceiver receiver;
  Orvel::Test::ScriptedStream first;
  receiver.start(&first);
  first.close();
  ASSERT_TRUE(receiver.waitForStop());
  Orvel::Test::ScriptedStream second;
  second.addChunk(frame("Again", {}));
  receiver.start(&second);
  ASSERT_TRUE(receiver.waitForMessages(1));
  second.close();
  receiver.stop();
  EXPECT_EQ(receiver.stops(), 2);
  EXPECT_EQ(receiver.messages()[0].name, "Again");
  EXPECT_EQ(log.lines(), std::vector<std::string>{});
}

// The same over a real pipe: a server writes damaged and good frames, then
// either closes its end or the client closes during a blocked read.
TEST(LayerByteMessageReceiver, ReceivesOverARealPipe) {
  for (const bool serverCloses : {true, false}) {
    Orvel::Test::LogCapture log;
    Orvel::Test::PipeServer server(Orvel::Test::uniquePipeName("receiver"));
    ASSERT_TRUE(server.isListening());
    std::unique_ptr<PipeConnection> connection;
    std::thread accepting([&] { connection = server.accept(std::chrono::seconds(20)); });
    const auto pipe = Orvel::ReadWritePipe::connect(server.name(), 20000);
    accepting.join();
    ASSERT_TRUE(pipe);
    ASSERT_TRUE(connection);

    Orvel::Test::RecordingReceiver receiver;
    receiver.start(pipe.get());
    const Bytes big(3000, 0x11);
    Bytes corrupted = frame("Bad", {1});
    corrupted[15] = 0;
    ASSERT_TRUE(connection->writeAll(join({{'j', 'u', 'n', 'k', '.', '.', '.', '.'}, frame("First", {1}), corrupted,
                                           frame("Big", big), frame("", {})})));
    ASSERT_TRUE(receiver.waitForMessages(3));
    if (serverCloses) {
      connection->close();
    } else {
      pipe->close();
    }
    ASSERT_TRUE(receiver.waitForStop());
    receiver.stop();
    const auto messages = receiver.messages();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0].name, "First");
    EXPECT_EQ(messages[0].payload, Bytes{1});
    EXPECT_EQ(messages[1].name, "Big");
    EXPECT_EQ(messages[1].payload, big);
    EXPECT_EQ(messages[2].name, "");
    EXPECT_EQ(log.lines(), (std::vector<std::string>{kBadSignature + signatureOf({'j', 'u', 'n', 'k', '.', '.', '.', '.'}, 4),
                                                     kCorrupted}))
        << (serverCloses ? "server closed" : "client closed");
    EXPECT_FALSE(pipe->hasError());
  }
}

}  // namespace
