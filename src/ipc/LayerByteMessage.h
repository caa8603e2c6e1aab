// One encoded frame, and the one place that knows the frame layout: every
// encoder and decoder of frames (the client, the server end, the reference
// server, tests and benchmarks) goes through here. Layout, all integers
// little-endian, no gaps:
//   uint32 totalLength (16 + nameLength + payloadLength, this field included)
//   "orve" signature, uint32 nameLength, name bytes,
//   uint32 payloadLength, payload bytes.
// Immutable after construction; shared between threads through shared_ptr.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ipc/IBidirectionalByteStream.h"
#include "ipc/IncomingMessage.h"

namespace Orvel {

class LayerByteMessage {
 public:
  // The signature bytes "orve" read as a little-endian uint32.
  static constexpr std::uint32_t kSignature = 0x6576726F;
  // totalLength and signature: written first, read first.
  static constexpr std::uint32_t kHeaderLength = 8;
  // The four length and signature fields: a frame with an empty name and payload.
  static constexpr std::uint32_t kMinimumFrameLength = 16;
  // Receivers refuse longer frames as corrupted rather than allocate what a
  // damaged or hostile length field announces, and read past their whole
  // announced length without looking inside.
  static constexpr std::uint32_t kMaximumFrameLength = 16u * 1024u * 1024u;

  // What the kHeaderLength bytes at the start of a frame say about it.
  enum class Header {
    Accepted,      // a frame to read whole: kMinimumFrameLength to kMaximumFrameLength bytes
    BadSignature,  // no "orve": not the start of a frame
    TooShort,      // shorter than the smallest frame: corrupted
    TooLong,       // beyond the ceiling: corrupted, to be read past whole
  };

  LayerByteMessage(const std::string& name, const void* payload, std::uint32_t payloadLength);

  const std::vector<std::uint8_t>& bytes() const { return bytes_; }

  // Writes the whole frame: the 8-byte header in one write, then the rest.
  // A positive timeout bounds the whole frame and skips the flush; 0 waits
  // without limit and flushes afterwards. True when every byte was written,
  // and, after a flush, read by the server.
  // Must not run concurrently with another writeToPipe on the same stream.
  static bool writeToPipe(const std::shared_ptr<IBidirectionalByteStream>& stream,
                          const std::shared_ptr<const LayerByteMessage>& message, std::int64_t timeoutMs);

  // The little-endian uint32 at bytes.
  static std::uint32_t readUint32(const std::uint8_t* bytes);
  // Judges a header: its signature first, then its totalLength against the
  // floor and the ceiling (a smaller one where a test asks for it).
  static Header checkHeader(const std::uint8_t* header, std::uint32_t maximumFrameLength = kMaximumFrameLength);
  // The body check of an accepted frame: body is the frame's bodySize bytes
  // after the header (totalLength - kHeaderLength). Splits them into name and
  // payload, refilling message's buffers. False when the lengths inside do not
  // add up exactly to bodySize: a short frame, or one with trailing bytes.
  static bool decodeBody(const std::uint8_t* body, std::uint32_t bodySize, IncomingMessage& message);

 private:
  std::vector<std::uint8_t> bytes_;
};

}  // namespace Orvel
