// One encoded frame. Layout, all integers little-endian, no gaps:
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

  LayerByteMessage(const std::string& name, const void* payload, std::uint32_t payloadLength);

  const std::vector<std::uint8_t>& bytes() const { return bytes_; }

  // Writes the whole frame: the 8-byte header in one write, then the rest.
  // A positive timeout bounds the whole frame and skips the flush; 0 waits
  // without limit and flushes afterwards. True when every byte was written.
  // Must not run concurrently with another writeToPipe on the same stream.
  static bool writeToPipe(const std::shared_ptr<IBidirectionalByteStream>& stream,
                          const std::shared_ptr<const LayerByteMessage>& message, std::int64_t timeoutMs);

 private:
  std::vector<std::uint8_t> bytes_;
};

}  // namespace Orvel
