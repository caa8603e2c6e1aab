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
#include "support/ScanFromMemory.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Orvel::FrameScanner;

Bytes frame(const std::string& name, const Bytes& payload) { return Orvel::Test::frameBytes(name, payload); }

Bytes join(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// The report of a header whose signature field is wrong: bytes 4 to 7.
std::string badSignature(const Bytes& bytes) {
  std::int32_t value = 0;
  std::memcpy(&value, bytes.data() + 4, 4);
  return "bad signature " + std::to_string(value);
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
  std::vector<std::string> reads;    // the sizes asked for: "buffer <n>", or "payload <n>" straight into the message
};

// Feeds input to a scanner in reads of at most the chunk sizes, in turn,
// until the input is used up and a failed read ends the run. After each
// message the scanner gets back a used one, as the IPC client gives it,
// alternately large and empty.
Scan scan(const Bytes& input, const std::vector<std::uint32_t>& chunks,
          std::uint32_t ceiling = Orvel::LayerByteMessage::kMaximumFrameLength) {
  FrameScanner scanner(ceiling);
  Orvel::IncomingMessage message;
  Scan result;
  Orvel::Test::scanFromMemory(scanner, message, input, chunks, [&](const FrameScanner::Step& step) {
    switch (step.action) {
      case FrameScanner::Action::Read: {
        const bool intoPayload = !message.payload.empty() && step.data >= message.payload.data() &&
                                 step.data < message.payload.data() + message.payload.size();
        result.reads.push_back((intoPayload ? "payload " : "buffer ") + std::to_string(step.size));
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
  });
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
      const Scan result = scan(c.input, {maxRead}, c.ceiling);
      EXPECT_EQ(result.messages, c.messages) << c.label << ", reads of " << maxRead;
      EXPECT_EQ(result.reports, c.reports) << c.label << ", reads of " << maxRead;
    }
  }
}

// Reads into the buffer ask for as much as it holds. A large frame's payload
// goes straight into the message: what came with a read-ahead is moved
// there and the rest read there. After a large frame the next header is read
// alone, then the front of the next large frame, then its payload.
TEST(FrameScanner, ReadsALargePayloadStraightIntoTheMessage) {
  const Bytes payload(64 * 1024, 0x5A);
  const Bytes input = join({frame("Ping", {}), frame("Big", payload), frame("Big", payload)});
  const Scan result = scan(input, {0xFFFFFFFF});
  ASSERT_EQ(result.messages.size(), 3u);
  EXPECT_EQ(result.messages[1].payload, payload);
  EXPECT_EQ(result.messages[2].payload, payload);
  // The first read holds Ping (20 bytes) and the first Big's header (8),
  // name length (4), name (3), payload length (4) and 65536 - 20 - 19 bytes
  // of its payload; 39 are left to read. The second Big's front is 256 bytes.
  const std::uint32_t rest = 64 * 1024 - (256 - 19);
  EXPECT_EQ(result.reads, (std::vector<std::string>{"buffer 65536", "payload 39", "buffer 8", "buffer 248",
                                                    "payload " + std::to_string(rest), "buffer 8"}));
}

// What reading ahead brings: many frames per read, delivered one by one
// before the next read, however the reads cut them; the same reports for
// damage met inside one read; a failed read that leaves a frame cut.
TEST(FrameScanner, ReadsAheadAndDeliversEveryWholeFrameHeld) {
  constexpr std::uint32_t kAll = 0xFFFFFFFF;
  const std::string readAhead = "buffer " + std::to_string(FrameScanner::kReadAheadBytes);
  const Bytes ping = frame("Ping", {});
  const Bytes small = frame("Small", {1, 2, 3});
  const Bytes big = frame("Big", Bytes(2100, 0x42));
  const Delivered pingMessage{"Ping", {}};
  const Delivered smallMessage{"Small", {1, 2, 3}};
  const Delivered bigMessage{"Big", Bytes(2100, 0x42)};
  const Bytes update = frame("Update", Bytes(44, 'u'));  // 66 bytes
  const Bytes garbage = {'g', 'a', 'r', 'b', 'a', 'g', 'e', '!', '?', '#'};
  const Bytes tooShort = {12, 0, 0, 0, 'o', 'r', 'v', 'e'};
  Bytes offByOne = frame("Bad", {9, 9});
  offByOne[15] = 3;  // payloadLength says 3, totalLength leaves room for 2
  const Bytes tooLong = frame("Long", join({ping, Bytes(8000, 'x'), small}));
  // A frame that holds whole frames, cut by the end of the stream.
  const Bytes carrier = frame("Carrier", join({ping, small, Bytes(5, 9)}));
  const Bytes cutCarrier(carrier.begin(), carrier.end() - 2);

  Bytes updates;
  std::vector<Delivered> updateMessages;
  for (int i = 0; i < 2000; ++i) {
    updates.insert(updates.end(), update.begin(), update.end());
    updateMessages.push_back({"Update", Bytes(44, 'u')});
  }
  // 2000 frames of 66 bytes: the first read takes 992 whole frames and 64
  // bytes of the next; each later one asks for what those 64 leave free.
  const std::string nextReads = "buffer " + std::to_string(FrameScanner::kReadAheadBytes - 64);

  struct Case {
    std::string label;
    Bytes input;
    std::vector<std::uint32_t> chunks;
    std::vector<Delivered> messages;
    std::vector<std::string> reports;
    std::vector<std::string> reads;  // not compared when empty
    std::uint32_t ceiling = Orvel::LayerByteMessage::kMaximumFrameLength;
  };
  std::vector<Case> cases = {
      {"several frames in one read", join({ping, small, ping, small}), {kAll},
       {pingMessage, smallMessage, pingMessage, smallMessage}, {}, {readAhead, readAhead}},
      {"more frames than one read holds", updates, {kAll}, updateMessages, {}, {readAhead, nextReads, nextReads, readAhead}},
      {"a large frame whose payload begins in the read-ahead", join({ping, big, small}),
       {static_cast<std::uint32_t>(ping.size() + 1000), kAll}, {pingMessage, bigMessage, smallMessage}, {},
       // Big's front is 19 bytes, so 981 of its payload came with the first read.
       {readAhead, "payload 1119", "buffer 8", "buffer " + std::to_string(FrameScanner::kReadAheadBytes - 8), readAhead}},
      {"a large frame whole in the read-ahead", join({ping, big, small}), {kAll}, {pingMessage, bigMessage, smallMessage},
       {}, {readAhead, readAhead}},
      {"damage and refused frames in one read",
       join({ping, garbage, small, tooShort, ping, offByOne, small, garbage}), {kAll},
       {pingMessage, smallMessage, pingMessage, smallMessage},
       {badSignature(garbage), "corrupted", "corrupted", badSignature(garbage)},
       {readAhead, "buffer " + std::to_string(FrameScanner::kReadAheadBytes - 4)}},
      {"a frame longer than the ceiling in one read", join({ping, tooLong, small}), {kAll}, {pingMessage, smallMessage},
       {"corrupted"}, {readAhead, readAhead}, 6000},
      {"a read fails with a frame held cut", join({ping, small, cutCarrier}), {kAll},
       {pingMessage, smallMessage, pingMessage, smallMessage}, {}, {}},
  };
  // Every place where two reads can cut a stream of small and large frames.
  const Bytes mixed = join({ping, small, big, small});
  for (std::uint32_t cut = 1; cut < mixed.size(); ++cut) {
    cases.push_back({"cut after " + std::to_string(cut) + " bytes", mixed, {cut, kAll},
                     {pingMessage, smallMessage, bigMessage, smallMessage}, {}, {}});
  }
  for (const Case& c : cases) {
    const Scan result = scan(c.input, c.chunks, c.ceiling);
    EXPECT_EQ(result.messages, c.messages) << c.label;
    EXPECT_EQ(result.reports, c.reports) << c.label;
    if (!c.reads.empty()) {
      EXPECT_EQ(result.reads, c.reads) << c.label;
    }
  }
}

}  // namespace
