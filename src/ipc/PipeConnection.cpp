#include "ipc/PipeConnection.h"

#include <algorithm>
#include <cstring>

#include "ipc/LayerByteMessage.h"

namespace Orvel {

namespace {

void appendUint32(std::vector<std::uint8_t>& bytes, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<std::uint8_t>(value >> shift));
}

std::uint32_t toUint32(const std::uint8_t* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

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

std::vector<std::uint8_t> PipeConnection::encodeFrame(const std::string& name, const std::vector<std::uint8_t>& payload) {
  static constexpr std::uint8_t kSignature[4] = {'o', 'r', 'v', 'e'};
  std::vector<std::uint8_t> bytes;
  bytes.reserve(16 + name.size() + payload.size());
  appendUint32(bytes, static_cast<std::uint32_t>(16 + name.size() + payload.size()));
  bytes.insert(bytes.end(), kSignature, kSignature + 4);
  appendUint32(bytes, static_cast<std::uint32_t>(name.size()));
  bytes.insert(bytes.end(), name.begin(), name.end());
  appendUint32(bytes, static_cast<std::uint32_t>(payload.size()));
  bytes.insert(bytes.end(), payload.begin(), payload.end());
  return bytes;
}

bool PipeConnection::writeFrame(const std::string& name, const std::vector<std::uint8_t>& payload) {
  return writeAll(encodeFrame(name, payload));
}

bool PipeConnection::readFrame(Frame& frame, std::chrono::milliseconds bound) {
  std::uint8_t header[8];
  if (!readExact(header, sizeof header, bound)) return false;
  const std::uint32_t total = toUint32(header);
  if (std::memcmp(header + 4, "orve", 4) != 0 || total < LayerByteMessage::kMinimumFrameLength) return false;
  if (total > LayerByteMessage::kMaximumFrameLength) {
    // Refused, and read past whole: the next frame read starts after it, not
    // inside it, where the bytes of its payload could pass for frames.
    skipExact(*this, total - LayerByteMessage::kHeaderLength, bound);
    return false;
  }
  std::vector<std::uint8_t> body(total - 8);
  if (!readExact(body.data(), body.size(), bound)) return false;
  const std::uint64_t nameLength = toUint32(body.data());
  if (nameLength + 8 > body.size()) return false;
  const std::uint64_t payloadLength = toUint32(body.data() + 4 + nameLength);
  if (payloadLength != body.size() - 8 - nameLength) return false;
  frame.name.assign(reinterpret_cast<const char*>(body.data() + 4), nameLength);
  frame.payload.assign(body.begin() + 8 + static_cast<std::ptrdiff_t>(nameLength), body.end());
  return true;
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
