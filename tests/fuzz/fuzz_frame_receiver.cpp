// The receiver's reading of bytes as frames (FrameScanner), fed from memory
// in reads whose sizes come from the input, with no thread and no pipe. The
// input is built as a sequence of segments:
// - well-formed frames, whose payloads may carry whole frames;
// - garbage;
// - frames refused for their lengths (below the floor, or lengths inside that
//   do not add up);
// - frames longer than the ceiling, with frames hidden at the start and end of
//   their bodies, or a length that runs past the end of the input.
// Checks:
// - what is delivered is exactly what a whole-buffer reading of the framing
//   rules finds (signature search, ceiling, body check), in order, however
//   the bytes are split into reads;
// - when no byte of garbage or of a refused frame's body can begin a
//   signature ('o'), what is delivered is exactly the well-formed top-level
//   frames of the sequence, in order: never a frame from inside an accepted
//   frame's payload or a too-long frame's body, nor one that is not there.
// The ceiling is lowered to kCeiling so that too-long frames stay small; the
// scanner's other limit, the size up to which a frame is read whole into its
// buffer, is not, so frames are built on both sides of it.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ipc/FrameScanner.h"
#include "ipc/IncomingMessage.h"
#include "ipc/LayerByteMessage.h"
#include "support/ScanFromMemory.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Orvel::FrameScanner;
using Orvel::LayerByteMessage;

constexpr std::uint32_t kCeiling = 4096;
// Too-long frames per input: each is over kCeiling bytes, and a few of them
// test all there is to test.
constexpr int kMostTooLong = 3;

struct Frame {
  std::string name;
  Bytes payload;
  bool operator==(const Frame& other) const { return name == other.name && payload == other.payload; }
};

Bytes encode(const std::string& name, const Bytes& payload) {
  return LayerByteMessage(name, payload.data(), static_cast<std::uint32_t>(payload.size())).bytes();
}

void append(Bytes& to, const Bytes& bytes) { to.insert(to.end(), bytes.begin(), bytes.end()); }

void appendUint32(Bytes& to, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) to.push_back(static_cast<std::uint8_t>(value >> shift));
}

void appendFrame(Bytes& to, const Frame& frame) { append(to, encode(frame.name, frame.payload)); }

void withoutSignatureStart(Bytes& bytes) { std::replace(bytes.begin(), bytes.end(), std::uint8_t{'o'}, std::uint8_t{'x'}); }

// Feeds stream to a scanner as the receiver thread does, each read taking at
// most the next of the chunk sizes. After each message the scanner gets back
// a used one, as the IPC client gives it.
std::vector<Frame> scan(const Bytes& stream, const std::vector<std::uint32_t>& chunks) {
  FrameScanner scanner(kCeiling);
  Orvel::IncomingMessage message;
  std::vector<Frame> delivered;
  Orvel::Test::scanFromMemory(scanner, message, stream, chunks, [&](const FrameScanner::Step& step) {
    if (step.action == FrameScanner::Action::Read && step.size == 0) std::abort();  // a read that asks for nothing would never end
    if (step.action == FrameScanner::Action::Message) {
      delivered.push_back(Frame{message.name, message.payload});
      message = delivered.size() % 2 ? Orvel::IncomingMessage{"used", Bytes(300, 0xEE)} : Orvel::IncomingMessage{};
    }
  });
  return delivered;
}

std::uint32_t readUint32(const Bytes& bytes, std::size_t offset) { return LayerByteMessage::readUint32(bytes.data() + offset); }

// The framing rules applied to the whole stream at once: a frame starts 4
// bytes before a signature; one longer than the ceiling is passed over
// whole, unseen; one whose length is below the least, that the stream ends
// inside, or whose name and payload lengths do not add up is skipped by 4
// bytes and the search goes on.
std::vector<Frame> framesByTheRules(const Bytes& stream) {
  std::vector<Frame> frames;
  std::size_t start = 0;
  while (start + 8 <= stream.size()) {
    // The next signature at or after start + 4: the frame starts 4 bytes before it.
    const void* signature = memmem(stream.data() + start + 4, stream.size() - start - 4, "orve", 4);
    if (signature == nullptr) break;
    start = static_cast<std::size_t>(static_cast<const std::uint8_t*>(signature) - stream.data()) - 4;
    const std::uint64_t total = readUint32(stream, start);
    if (total > kCeiling) {
      start += total;
      continue;
    }
    if (total < LayerByteMessage::kMinimumFrameLength || start + total > stream.size()) {
      start += 4;
      continue;
    }
    const std::uint64_t nameLength = readUint32(stream, start + 8);
    const std::uint64_t bodySize = total - 8;
    if (nameLength + 8 > bodySize || readUint32(stream, start + 12 + nameLength) != bodySize - 8 - nameLength) {
      start += 4;
      continue;
    }
    const auto* name = stream.data() + start + 12;
    const auto* payload = name + nameLength + 4;
    frames.push_back(Frame{std::string(reinterpret_cast<const char*>(name), nameLength),
                           Bytes(payload, stream.data() + start + total)});
    start += total;
  }
  return frames;
}

// A well-formed frame no longer than the ceiling; its payload may carry a
// whole small frame somewhere inside.
Frame makeFrame(FuzzedDataProvider& input) {
  Frame frame;
  frame.name = input.ConsumeRandomLengthString(64);
  const std::size_t room = kCeiling - LayerByteMessage::kMinimumFrameLength - frame.name.size();
  frame.payload = input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange<std::size_t>(0, room));
  if (input.ConsumeBool()) {
    const Bytes inner = encode(input.ConsumeRandomLengthString(16), input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange(0, 64)));
    if (frame.payload.size() + inner.size() <= room) {
      const std::size_t at = input.ConsumeIntegralInRange<std::size_t>(0, frame.payload.size());
      frame.payload.insert(frame.payload.begin() + static_cast<std::ptrdiff_t>(at), inner.begin(), inner.end());
    }
  }
  return frame;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  // Garbage and refused bodies that cannot begin a signature: every frame
  // the receiver finds is then one the sequence put at the top level.
  const bool clean = input.ConsumeBool();
  std::vector<std::uint32_t> chunks;
  const std::size_t chunkCount = input.ConsumeIntegralInRange<std::size_t>(1, 4);
  for (std::size_t i = 0; i < chunkCount; ++i) chunks.push_back(input.ConsumeIntegralInRange<std::uint32_t>(1, 5000));

  Bytes stream;
  std::vector<Frame> topLevel;
  std::uint64_t coveredUntil = 0;  // the end of the last too-long frame: what lies before it is its body
  int tooLong = 0;
  while (input.remaining_bytes() > 0) {
    const bool seen = stream.size() >= coveredUntil;
    int kind = input.ConsumeIntegralInRange(0, 4);
    if (kind == 3 && ++tooLong > kMostTooLong) kind = 1;
    switch (kind) {
      case 0: {
        Frame frame = makeFrame(input);
        appendFrame(stream, frame);
        if (seen) topLevel.push_back(std::move(frame));
        break;
      }
      case 1: {
        Bytes garbage = input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange(0, 64));
        if (clean) withoutSignatureStart(garbage);
        append(stream, garbage);
        break;
      }
      case 2: {
        // Refused for its lengths: below the floor, or a payload length that
        // disagrees with the frame's. Its body is then searched.
        if (input.ConsumeBool()) {
          appendUint32(stream, input.ConsumeIntegralInRange<std::uint32_t>(0, LayerByteMessage::kMinimumFrameLength - 1));
          appendUint32(stream, LayerByteMessage::kSignature);
          break;
        }
        Frame frame = makeFrame(input);
        if (clean) {
          std::replace(frame.name.begin(), frame.name.end(), 'o', 'x');
          withoutSignatureStart(frame.payload);
        }
        Bytes bytes = encode(frame.name, frame.payload);
        const std::size_t payloadLengthAt = 12 + frame.name.size();
        const std::uint32_t wrong = readUint32(bytes, payloadLengthAt) + input.ConsumeIntegralInRange<std::uint32_t>(1, 255);
        for (int i = 0; i < 4; ++i) bytes[payloadLengthAt + i] = static_cast<std::uint8_t>(wrong >> (8 * i));
        append(stream, bytes);
        break;
      }
      case 3: {
        // Longer than the ceiling, its body holding frames at its start and
        // end: read past whole.
        Bytes body;
        if (input.ConsumeBool()) appendFrame(body, makeFrame(input));
        const std::size_t least = kCeiling + 1 - LayerByteMessage::kHeaderLength;
        const std::size_t filler = input.ConsumeIntegralInRange<std::size_t>(0, 300) + (body.size() < least ? least - body.size() : 0);
        body.resize(body.size() + filler, input.ConsumeIntegral<std::uint8_t>());
        if (input.ConsumeBool()) appendFrame(body, makeFrame(input));
        const auto total = static_cast<std::uint32_t>(LayerByteMessage::kHeaderLength + body.size());
        if (seen) coveredUntil = stream.size() + total;
        appendUint32(stream, total);
        appendUint32(stream, LayerByteMessage::kSignature);
        append(stream, body);
        break;
      }
      default: {
        // A length past the end of the input: everything after it is its body.
        const std::uint32_t total = 0xFFFFFFFFu - input.ConsumeIntegral<std::uint16_t>();
        if (seen) coveredUntil = stream.size() + std::uint64_t{total};
        appendUint32(stream, total);
        appendUint32(stream, LayerByteMessage::kSignature);
        break;
      }
    }
  }

  const std::vector<Frame> delivered = scan(stream, chunks);
  if (delivered != framesByTheRules(stream)) std::abort();
  if (clean && delivered != topLevel) std::abort();
  return 0;
}
