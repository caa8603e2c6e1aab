// The reading of bytes as frames, fed from memory in reads of every size:
// what is delivered, what is reported, and where a large frame's payload goes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "ipc/FrameScanner.h"
#include "ipc/LayerByteMessage.h"
#include "support/FrameBytes.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Orvel::FrameScanner;

Bytes frame(const std::string& name, const Bytes& payload) { return Orvel::Test::frameBytes(name, payload); }

Bytes join(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

struct Delivered {
  std::string name;
  Bytes payload;
  bool operator==(const Delivered& other) const { return name == other.name && payload == other.payload; }
};

void PrintTo(const Delivered& message, std::ostream* out) {
  *out << "{\"" << message.name << "\", " << message.payload.size() << " bytes}";
}

struct Scan {
  std::vector<Delivered> messages;
  std::vector<std::string> reports;  // "bad signature <n>" and "corrupted", in order
  std::vector<std::uint32_t> reads;  // the sizes asked for
  std::vector<bool> intoPayload;     // per read: straight into the message's payload
};

// Feeds input to a scanner in reads of at most maxRead bytes until the input
// is used up and a failed read ends the run. After each message the scanner
// gets back a used one, as the IPC client gives it, alternately large and empty.
Scan scan(const Bytes& input, std::uint32_t maxRead, std::uint32_t ceiling = Orvel::LayerByteMessage::kMaximumFrameLength) {
  FrameScanner scanner(ceiling);
  Orvel::IncomingMessage message;
  Scan result;
  std::size_t position = 0;
  for (bool ended = false; !ended;) {
    const FrameScanner::Step step = scanner.next(message);
    switch (step.action) {
      case FrameScanner::Action::Read: {
        result.reads.push_back(step.size);
        result.intoPayload.push_back(!message.payload.empty() && step.data >= message.payload.data() &&
                                     step.data < message.payload.data() + message.payload.size());
        const std::size_t size = std::min<std::size_t>({step.size, maxRead, input.size() - position});
        if (size == 0) {
          ended = scanner.readFailed(message);
          break;
        }
        std::memcpy(step.data, input.data() + position, size);
        position += size;
        scanner.received(static_cast<std::uint32_t>(size));
        break;
      }
      case FrameScanner::Action::BadSignature:
        result.reports.push_back("bad signature " + std::to_string(static_cast<std::int32_t>(step.signature)));
        break;
      case FrameScanner::Action::Corrupted:
        result.reports.emplace_back("corrupted");
        break;
      case FrameScanner::Action::Message:
        result.messages.push_back({message.name, message.payload});
        message = result.messages.size() % 2 ? Orvel::IncomingMessage{"used", Bytes(9000, 0xEE)} : Orvel::IncomingMessage{};
        break;
      case FrameScanner::Action::Nothing:
        break;
    }
  }
  return result;
}

TEST(FrameScanner, DeliversExactlyTheWellFormedTopLevelFrames) {
  const Bytes ping = frame("Ping", {});
  const Bytes small = frame("Small", {1, 2, 3});
  Bytes bigPayload(5000);
  for (std::size_t i = 0; i < bigPayload.size(); ++i) bigPayload[i] = static_cast<std::uint8_t>(i * 7);
  const Bytes big = frame("Big", bigPayload);
  const std::string longName(300, 'N');  // beyond the first read of a large frame's front
  const Bytes longNamed = frame(longName, bigPayload);
  const Bytes garbage = {'g', 'a', 'r', 'b', 'a', 'g', 'e', '!', '?', '#'};
  // Payloads that carry whole frames, as a long property value may.
  const Bytes carrier = frame("Carrier", join({ping, small}));
  const Bytes bigCarrier = frame("Carrier", join({small, bigPayload, ping}));
  // Lengths that do not add up: refused, then searched byte by byte, so the
  // frame inside is found.
  Bytes badLarge = frame("Bad", join({Bytes(3000, 'x'), ping}));
  badLarge[15] ^= 1;
  // Longer than a ceiling of 6000 (which Big is not): read past whole, never searched.
  const std::uint32_t smallCeiling = 6000;
  const Bytes tooLong = frame("Long", join({ping, Bytes(8000, 'x'), small}));
  const Bytes tooShort = {12, 0, 0, 0, 'o', 'r', 'v', 'e'};
  const std::string corrupted = "corrupted";
  const auto badSignature = [](const Bytes& bytes) {
    std::int32_t value = 0;
    std::memcpy(&value, bytes.data() + 4, 4);
    return "bad signature " + std::to_string(value);
  };

  struct Case {
    std::string label;
    Bytes input;
    std::vector<Delivered> messages;
    std::vector<std::string> reports;
    std::uint32_t ceiling = Orvel::LayerByteMessage::kMaximumFrameLength;
  };
  const std::vector<Case> cases = {
      {"small, large, small", join({ping, big, small}), {{"Ping", {}}, {"Big", bigPayload}, {"Small", {1, 2, 3}}}, {}},
      {"large frame with a long name", join({longNamed, ping}), {{longName, bigPayload}, {"Ping", {}}}, {}},
      {"garbage before each", join({garbage, big, garbage, small}), {{"Big", bigPayload}, {"Small", {1, 2, 3}}},
       {badSignature(garbage), badSignature(garbage)}},
      {"garbage ending in a signature prefix", join({{'x', 'y'}, big}), {{"Big", bigPayload}},
       {badSignature(join({{'x', 'y'}, big}))}},
      {"frames inside accepted payloads", join({carrier, bigCarrier}),
       {{"Carrier", join({ping, small})}, {"Carrier", join({small, bigPayload, ping})}}, {}},
      {"large frame whose lengths do not add up", join({badLarge, small}), {{"Ping", {}}, {"Small", {1, 2, 3}}},
       {corrupted}},
      {"length below the floor", join({tooShort, big}), {{"Big", bigPayload}}, {corrupted}},
      {"longer than the ceiling", join({tooLong, small}), {{"Small", {1, 2, 3}}}, {corrupted}, smallCeiling},
      {"garbage, then longer than the ceiling", join({garbage, tooLong, big}), {{"Big", bigPayload}},
       {badSignature(garbage), corrupted}, smallCeiling},
      {"at the ceiling", join({big, small}), {{"Big", bigPayload}, {"Small", {1, 2, 3}}}, {},
       static_cast<std::uint32_t>(big.size())},
      {"the stream ends inside a large payload", join({ping, Bytes(big.begin(), big.end() - 1)}), {{"Ping", {}}}, {}},
      {"the stream ends inside a large payload that holds a frame",
       Bytes(bigCarrier.begin(), bigCarrier.end() - 2), {{"Small", {1, 2, 3}}}, {badSignature(bigPayload)}},
  };
  for (const Case& c : cases) {
    for (const std::uint32_t maxRead : {1u, 7u, 300u, 0xFFFFFFFFu}) {
      const Scan result = scan(c.input, maxRead, c.ceiling);
      EXPECT_EQ(result.messages, c.messages) << c.label << ", reads of " << maxRead;
      EXPECT_EQ(result.reports, c.reports) << c.label << ", reads of " << maxRead;
    }
  }
}

// A small frame takes two reads into the buffer, header and rest. A large
// one takes three: header and front into the buffer, then the whole rest of
// its payload straight into the message, where it stays.
TEST(FrameScanner, ReadsALargePayloadStraightIntoTheMessage) {
  const Bytes payload(64 * 1024, 0x5A);
  const Bytes input = join({frame("Ping", {}), frame("Big", payload), frame("Big", payload)});
  const Scan result = scan(input, 0xFFFFFFFF);
  ASSERT_EQ(result.messages.size(), 3u);
  EXPECT_EQ(result.messages[2].payload, payload);
  const std::uint32_t rest = 16 + 3 + 64 * 1024 - 256;
  EXPECT_EQ(result.reads, (std::vector<std::uint32_t>{8, 12, 8, 248, rest, 8, 248, rest, 8}));
  EXPECT_EQ(result.intoPayload, (std::vector<bool>{false, false, false, false, true, false, false, true, false}));
}

}  // namespace
