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

template <typename T>
std::vector<T> after(std::vector<T> first, const std::vector<T>& then) {
  first.insert(first.end(), then.begin(), then.end());
  return first;
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

// A large frame's payload goes straight into the message: what came with a
// read-ahead is moved there and the rest read there. A read-ahead that
// follows a large frame is a short one, so each large frame of a stream
// costs two reads and only a little of it passes through the buffer.
TEST(FrameScanner, ReadsALargePayloadStraightIntoTheMessage) {
  const Bytes payload(64 * 1024, 0x5A);
  const Bytes input = join({frame("Ping", {}), frame("Big", payload), frame("Big", payload)});
  const Scan result = scan(input, {0xFFFFFFFF});
  ASSERT_EQ(result.messages.size(), 3u);
  EXPECT_EQ(result.messages[1].payload, payload);
  EXPECT_EQ(result.messages[2].payload, payload);
  // The first read (2048 bytes) holds Ping (20 bytes) and the first Big's
  // header (8), name length (4), name (3), payload length (4) and
  // 2048 - 20 - 19 = 2009 bytes of its payload. The second read-ahead holds
  // the second Big's front and 2048 - 19 bytes of its payload.
  EXPECT_EQ(result.reads, (std::vector<std::string>{"buffer 2048", "payload 63527", "buffer 2048", "payload 63507",
                                                    "buffer 2048"}));
}

// What reading ahead brings: many frames per read, delivered one by one
// before the next read, however the reads cut them; the same reports for
// damage met inside one read; a failed read that leaves a frame cut. A
// read-ahead asks for the whole buffer only after one that came back full,
// and is short again after a large frame.
TEST(FrameScanner, ReadsAheadAndDeliversEveryWholeFrameHeld) {
  constexpr std::uint32_t kAll = 0xFFFFFFFF;
  const std::string shortRead = "buffer " + std::to_string(FrameScanner::kDirectThreshold);
  const auto shortReadAfter = [](std::uint32_t held) {
    return "buffer " + std::to_string(FrameScanner::kDirectThreshold - held);
  };
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
  // 2000 frames of 66 bytes (132000 bytes): the first, short read takes 31
  // whole frames and 2 bytes of the next; the second asks for what those 2
  // leave free of the buffer and takes 992 whole frames and 64 bytes; the
  // third asks for what those 64 leave free and takes the other 64418.
  const std::vector<std::string> updateReads = {shortRead, "buffer " + std::to_string(FrameScanner::kReadAheadBytes - 2),
                                                "buffer " + std::to_string(FrameScanner::kReadAheadBytes - 64), shortRead};
  // 32 updates: more than a short read-ahead takes, so the read after it asks
  // for the whole buffer (less the 2 bytes held).
  Bytes fill;
  std::vector<Delivered> fillMessages;
  for (int i = 0; i < 32; ++i) {
    fill.insert(fill.end(), update.begin(), update.end());
    fillMessages.push_back({"Update", Bytes(44, 'u')});
  }
  const std::string wholeBuffer = "buffer " + std::to_string(FrameScanner::kReadAheadBytes - 2);
  // A large frame after a pause, as definitions come after the handshake:
  // only the short read-ahead's 2048 - 20 - 19 bytes of its payload pass
  // through the buffer.
  const Bytes definitions = frame("Big", Bytes(45000, 0x44));
  const Delivered definitionsMessage{"Big", Bytes(45000, 0x44)};

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
       {pingMessage, smallMessage, pingMessage, smallMessage}, {}, {shortRead, shortRead}},
      {"more frames than one read holds", updates, {kAll}, updateMessages, {}, updateReads},
      {"a large frame whose payload begins in the read-ahead", join({ping, big, small}),
       {static_cast<std::uint32_t>(ping.size() + 1000), kAll}, {pingMessage, bigMessage, smallMessage}, {},
       // Big's front is 19 bytes, so 981 of its payload came with the first read.
       {shortRead, "payload 1119", shortRead, shortRead}},
      {"a large frame whole in the read-ahead", join({fill, ping, big, small}), {kAll},
       after<Delivered>(fillMessages, {pingMessage, bigMessage, smallMessage}), {}, {shortRead, wholeBuffer, shortRead}},
      {"a large frame after a pause", join({ping, definitions, ping}), {static_cast<std::uint32_t>(ping.size()), kAll, kAll, kAll, kAll},
       {pingMessage, definitionsMessage, pingMessage}, {}, {shortRead, shortRead, "payload 42971", shortRead, shortRead}},
      // Big's payload: 2048 - 19 bytes came with the first read, 71 are left.
      {"many small frames after a large frame", join({big, updates}), {kAll}, after<Delivered>({bigMessage}, updateMessages), {},
       after<std::string>({shortRead, "payload 71"}, updateReads)},
      {"damage and refused frames in one read",
       join({ping, garbage, small, tooShort, ping, offByOne, small, garbage}), {kAll},
       {pingMessage, smallMessage, pingMessage, smallMessage},
       {badSignature(garbage), "corrupted", "corrupted", badSignature(garbage)}, {shortRead, shortReadAfter(4)}},
      {"a frame longer than the ceiling in one read", join({fill, ping, tooLong, small}), {kAll},
       after<Delivered>(fillMessages, {pingMessage, smallMessage}), {"corrupted"}, {shortRead, wholeBuffer, shortRead}, 6000},
      {"a read fails with a frame held cut", join({ping, small, cutCarrier}), {kAll},
       {pingMessage, smallMessage, pingMessage, smallMessage}, {}, {}},
  };
  // Every place where two reads can cut a stream of small and large frames.
  const Bytes mixed = join({ping, small, big, small});
  for (std::uint32_t cut = 1; cut < mixed.size(); ++cut) {
    cases.push_back({"cut after " + std::to_string(cut) + " bytes", mixed, {cut, kAll},
                     {pingMessage, smallMessage, bigMessage, smallMessage}, {}, {}});
  }
  // And where they can cut large frames that follow each other, then small
  // ones: the header after a large frame comes with a short read-ahead.
  const Bytes largeFirst = join({big, big, small, ping});
  for (std::uint32_t cut = 1; cut < largeFirst.size(); ++cut) {
    cases.push_back({"large frames first, cut after " + std::to_string(cut) + " bytes", largeFirst, {cut, kAll},
                     {bigMessage, bigMessage, smallMessage, pingMessage}, {}, {}});
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
