// The frame receiver fed through an in-memory stream. The input describes a
// byte stream as a list of segments, each either a well-formed frame or
// garbage, and the sizes in which the stream hands out its bytes. Checks:
// - the receiver delivers exactly the frames that a whole-buffer reading of
//   the framing rules finds (signature search, length limits, body check), in
//   order, however the bytes are split into reads;
// - when no garbage byte can begin a signature ('o'), every frame that the
//   input holds is delivered, in order, and nothing else.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "ipc/IBidirectionalByteStream.h"
#include "ipc/LayerByteMessage.h"
#include "ipc/LayerByteMessageReceiver.h"
#include "logging/Logger.h"

namespace {

using Orvel::LayerByteMessage;

struct Frame {
  std::string name;
  std::vector<std::uint8_t> payload;
  bool operator==(const Frame& other) const { return name == other.name && payload == other.payload; }
};

// Hands out its bytes in reads no longer than the next of its chunk sizes;
// the end of the bytes is the quiet end of the stream.
class MemoryStream final : public Orvel::IBidirectionalByteStream {
 public:
  MemoryStream(std::vector<std::uint8_t> bytes, std::vector<std::uint32_t> chunks)
      : bytes_(std::move(bytes)), chunks_(std::move(chunks)) {}

  std::string getName() const override { return "fuzz"; }
  bool isClosed() const override { return false; }
  void close() override {}
  bool write(const void*, std::uint32_t&, std::int64_t) override { return false; }
  bool read(void* data, std::uint32_t& size) override {
    if (position_ >= bytes_.size()) return false;
    const std::uint32_t chunk = chunks_[reads_++ % chunks_.size()];
    const std::size_t count = std::min<std::size_t>({size, chunk, bytes_.size() - position_});
    std::memcpy(data, bytes_.data() + position_, count);
    position_ += count;
    size = static_cast<std::uint32_t>(count);
    return true;
  }
  bool flush() override { return true; }
  bool hasError() const override { return false; }
  std::uint32_t getErrorCode() const override { return 0; }
  std::string getErrorMessage() const override { return {}; }

 private:
  const std::vector<std::uint8_t> bytes_;
  const std::vector<std::uint32_t> chunks_;
  std::size_t position_ = 0;
  std::size_t reads_ = 0;
};

class CollectingReceiver final : public Orvel::LayerByteMessageReceiver {
 public:
  ~CollectingReceiver() override { stop(); }

  // Waits for the run to end by itself at the end of the stream, then joins.
  std::vector<Frame> receiveAll(Orvel::IBidirectionalByteStream& stream) {
    start(&stream);
    {
      std::unique_lock<std::mutex> lock(mutex_);
      stoppedCondition_.wait(lock, [this] { return stopped_; });
    }
    stop();
    return frames_;
  }

 protected:
  void onMessageReceived(Orvel::IncomingMessage& message) override {
    frames_.push_back(Frame{message.name, message.payload});
  }
  void onReceiverStopped() override {
    std::lock_guard<std::mutex> lock(mutex_);
    stopped_ = true;
    stoppedCondition_.notify_all();
  }

 private:
  std::vector<Frame> frames_;  // written by the receiver thread only, read after the join
  std::mutex mutex_;
  std::condition_variable stoppedCondition_;
  bool stopped_ = false;
};

std::uint32_t readUint32(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
  return static_cast<std::uint32_t>(bytes[offset]) | static_cast<std::uint32_t>(bytes[offset + 1]) << 8 |
         static_cast<std::uint32_t>(bytes[offset + 2]) << 16 | static_cast<std::uint32_t>(bytes[offset + 3]) << 24;
}

// The framing rules applied to the whole stream at once: a frame starts 4
// bytes before a signature; one longer than the ceiling is passed over
// whole, unseen; one whose length is below the least, that the stream ends
// inside, or whose name and payload lengths do not add up is skipped by 4
// bytes and the search goes on.
std::vector<Frame> framesByTheRules(const std::vector<std::uint8_t>& stream) {
  std::vector<Frame> frames;
  std::size_t start = 0;
  while (start + 8 <= stream.size()) {
    if (std::memcmp(stream.data() + start + 4, "orve", 4) != 0) {
      ++start;
      continue;
    }
    const std::uint64_t total = readUint32(stream, start);
    if (total > LayerByteMessage::kMaximumFrameLength) {
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
                           std::vector<std::uint8_t>(payload, stream.data() + start + total)});
    start += total;
  }
  return frames;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool quiet = [] {
    Orvel::Logger::instance().setSink([](int, const std::string&) {});
    return true;
  }();
  (void)quiet;

  FuzzedDataProvider input(data, size);
  const bool garbageWithoutSignatureStart = input.ConsumeBool();
  std::vector<std::uint32_t> chunks;
  const std::size_t chunkCount = input.ConsumeIntegralInRange<std::size_t>(1, 4);
  for (std::size_t i = 0; i < chunkCount; ++i) chunks.push_back(input.ConsumeIntegralInRange<std::uint32_t>(1, 300));

  std::vector<std::uint8_t> stream;
  std::vector<Frame> built;
  while (input.remaining_bytes() > 0) {
    if (input.ConsumeBool()) {
      Frame frame;
      frame.name = input.ConsumeRandomLengthString(64);
      const std::size_t payloadLength = input.ConsumeIntegralInRange<std::size_t>(0, 3000);
      frame.payload = input.ConsumeBytes<std::uint8_t>(payloadLength);
      const LayerByteMessage message(frame.name, frame.payload.data(),
                                     static_cast<std::uint32_t>(frame.payload.size()));
      stream.insert(stream.end(), message.bytes().begin(), message.bytes().end());
      built.push_back(std::move(frame));
    } else {
      const std::size_t garbageLength = input.ConsumeIntegralInRange<std::size_t>(0, 64);
      std::vector<std::uint8_t> garbage = input.ConsumeBytes<std::uint8_t>(garbageLength);
      if (garbageWithoutSignatureStart) std::replace(garbage.begin(), garbage.end(), std::uint8_t{'o'}, std::uint8_t{'x'});
      stream.insert(stream.end(), garbage.begin(), garbage.end());
    }
  }

  const std::vector<Frame> expected = framesByTheRules(stream);
  MemoryStream memory(stream, chunks);
  CollectingReceiver receiver;
  const std::vector<Frame> delivered = receiver.receiveAll(memory);
  if (delivered != expected) std::abort();
  if (garbageWithoutSignatureStart && delivered != built) std::abort();
  return 0;
}
