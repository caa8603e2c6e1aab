#include "ipc/LayerByteMessage.h"

#include <chrono>

#include "logging/Log.h"

namespace Orvel {

namespace {

void appendUint32(std::vector<std::uint8_t>& bytes, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<std::uint8_t>(value >> shift));
}

}  // namespace

LayerByteMessage::LayerByteMessage(const std::string& name, const void* payload, std::uint32_t payloadLength) {
  const auto nameLength = static_cast<std::uint32_t>(name.size());
  const std::uint32_t totalLength = kMinimumFrameLength + nameLength + payloadLength;
  bytes_.reserve(totalLength);
  appendUint32(bytes_, totalLength);
  appendUint32(bytes_, kSignature);
  appendUint32(bytes_, nameLength);
  bytes_.insert(bytes_.end(), name.begin(), name.end());
  appendUint32(bytes_, payloadLength);
  if (payloadLength != 0) {
    const auto* first = static_cast<const std::uint8_t*>(payload);
    bytes_.insert(bytes_.end(), first, first + payloadLength);
  }
}

std::uint32_t LayerByteMessage::readUint32(const std::uint8_t* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

LayerByteMessage::Header LayerByteMessage::checkHeader(const std::uint8_t* header, std::uint32_t maximumFrameLength) {
  if (readUint32(header + 4) != kSignature) return Header::BadSignature;
  const std::uint32_t totalLength = readUint32(header);
  if (totalLength < kMinimumFrameLength) return Header::TooShort;
  if (totalLength > maximumFrameLength) return Header::TooLong;
  return Header::Accepted;
}

bool LayerByteMessage::decodeBody(const std::uint8_t* body, std::uint32_t bodySize, IncomingMessage& message) {
  if (bodySize < 8) return false;
  const std::uint64_t nameLength = readUint32(body);
  if (nameLength + 8 > bodySize) return false;
  const std::uint64_t payloadLength = readUint32(body + 4 + nameLength);
  if (payloadLength != bodySize - 8 - nameLength) return false;
  const auto* name = body + 4;
  message.name.assign(reinterpret_cast<const char*>(name), nameLength);
  const auto* payload = name + nameLength + 4;
  message.payload.assign(payload, payload + payloadLength);
  return true;
}

bool LayerByteMessage::writeToPipe(const std::shared_ptr<IBidirectionalByteStream>& stream,
                                   const std::shared_ptr<const LayerByteMessage>& message, std::int64_t timeoutMs) {
  if (!stream || !message) return false;
  const auto start = std::chrono::steady_clock::now();
  const std::vector<std::uint8_t>& frame = message->bytes_;
  const auto total = static_cast<std::uint32_t>(frame.size());

  // The header goes out in a write of its own. A stream may take less than
  // asked; the next write continues from there.
  std::uint32_t written = kHeaderLength;
  bool ok = stream->write(frame.data(), written, timeoutMs);
  while (ok && written < total) {
    std::int64_t timeLeft = timeoutMs;
    if (timeoutMs > 0) {
      const auto elapsed =
          std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
      timeLeft = timeoutMs - elapsed;
      if (timeLeft <= 0) return false;
    }
    std::uint32_t size = total - written;
    ok = stream->write(frame.data() + written, size, timeLeft);
    if (ok && size == 0) return false;  // no progress: never spin on a stream that takes nothing
    written += size;
  }
  if (!ok) {
    if (stream->hasError()) LOG_WARNING("Failed to send message: %s", stream->getErrorMessage().c_str());
    return false;
  }
  // Without a time limit the frame counts as sent once the server has read
  // it: a server that went away, or a close, before that is a failed send.
  return timeoutMs > 0 || stream->flush();
}

}  // namespace Orvel
