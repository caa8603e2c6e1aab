#include "ipc/PipeConnection.h"

#include <algorithm>

#include "ipc/LayerByteMessage.h"

namespace Orvel {

namespace {

// Reads size bytes and drops them, a piece at a time.
bool skipExact(PipeConnection& connection, std::uint64_t size, std::chrono::milliseconds bound) {
  std::uint8_t sink[4096];
  while (size > 0) {
    std::size_t got = static_cast<std::size_t>(std::min<std::uint64_t>(size, sizeof sink));
    if (connection.readSome(sink, got, bound) != PipeConnection::ReadStatus::Data) return false;
    size -= got;
  }
  return true;
}

}  // namespace

bool PipeConnection::readExact(void* data, std::size_t size, std::chrono::milliseconds bound) {
  auto* bytes = static_cast<std::uint8_t*>(data);
  while (size > 0) {
    std::size_t got = size;
    if (readSome(bytes, got, bound) != ReadStatus::Data) return false;
    bytes += got;
    size -= got;
  }
  return true;
}

bool PipeConnection::writeFrame(const std::string& name, const std::vector<std::uint8_t>& payload) {
  return writeAll(LayerByteMessage(name, payload.data(), static_cast<std::uint32_t>(payload.size())).bytes());
}

bool PipeConnection::readFrame(Frame& frame, std::chrono::milliseconds bound) {
  std::uint8_t header[LayerByteMessage::kHeaderLength];
  if (!readExact(header, sizeof header, bound)) return false;
  const LayerByteMessage::Header check = LayerByteMessage::checkHeader(header);
  if (check == LayerByteMessage::Header::BadSignature || check == LayerByteMessage::Header::TooShort) return false;
  const std::uint32_t bodySize = LayerByteMessage::readUint32(header) - LayerByteMessage::kHeaderLength;
  if (check == LayerByteMessage::Header::TooLong) {
    // Refused, and read past whole: the next frame read starts after it, not
    // inside it, where the bytes of its payload could pass for frames.
    skipExact(*this, bodySize, bound);
    return false;
  }
  std::vector<std::uint8_t> body(bodySize);
  return readExact(body.data(), body.size(), bound) && LayerByteMessage::decodeBody(body.data(), bodySize, frame);
}

bool PipeConnection::waitForEnd(std::chrono::milliseconds bound) {
  const auto deadline = std::chrono::steady_clock::now() + bound;
  std::uint8_t sink[4096];
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    std::size_t size = sizeof sink;
    switch (readSome(sink, size, left)) {
      case ReadStatus::End:
        return true;
      case ReadStatus::TimedOut:
        return false;
      case ReadStatus::Data:
        break;
    }
  }
}

}  // namespace Orvel
