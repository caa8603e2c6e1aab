#include "FrameFeeder.h"

#include <chrono>
#include <utility>

#include "ipc/LayerByteMessage.h"
#include "ipc/MessageCodec.h"
#include "ipc/RequestHandshake.h"
#include "ipc/ResponseHandshake.h"
#include "state/PropertyUpdateToClient.h"

namespace Orvel::Bench {

namespace {

// Every wait of the feeder: generous, it only keeps a broken run from hanging.
constexpr std::chrono::seconds kBound(30);
// What the system may hold in flight for the reader (the system caps it):
// several large frames, so that the reader never waits for the feeder to be
// scheduled after each one.
constexpr std::uint32_t kFeederBufferBytes = 4u * 1024u * 1024u;
// Frame header (16) + name "PropertyUpdateToClient" (22) + key and value
// lengths (8) + key "Bench.Key" (9) + writer (4): the frame without its value.
constexpr std::uint32_t kFrameWithoutValue = 16 + 22 + 8 + 9 + 4;
const std::string kKey = "Bench.Key";

}  // namespace

FrameFeeder::FrameFeeder(const std::string& pipeName, std::vector<std::uint8_t> block, bool answerHandshake)
    : server_(pipeName, kFeederBufferBytes), block_(std::move(block)), answerHandshake_(answerHandshake) {
  if (server_.isListening()) writer_ = std::thread([this] { run(); });
}

FrameFeeder::~FrameFeeder() {
  stopping_.store(true);
  {
    std::lock_guard<std::mutex> lock(connectionMutex_);
    if (connection_) connection_->close();
  }
  if (writer_.joinable()) writer_.join();
}

std::uint32_t FrameFeeder::valueLength(std::uint32_t frameLength) { return frameLength - kFrameWithoutValue; }

std::vector<std::uint8_t> FrameFeeder::makeUpdateFrames(std::uint32_t frameLength, std::uint32_t count) {
  State::Messages::PropertyUpdateToClient update;
  update.key = kKey;
  update.value.assign(valueLength(frameLength), 'v');
  update.writer = State::ClientRole::PROPERTY_SERVER;
  const std::vector<std::uint8_t> payload = encodeMessage(update);
  const LayerByteMessage frame(State::Messages::PropertyUpdateToClient::messageName, payload.data(),
                               static_cast<std::uint32_t>(payload.size()));
  std::vector<std::uint8_t> block;
  block.reserve(static_cast<std::size_t>(frame.bytes().size()) * count);
  for (std::uint32_t i = 0; i < count; ++i) block.insert(block.end(), frame.bytes().begin(), frame.bytes().end());
  return block;
}

void FrameFeeder::run() {
  std::unique_ptr<PipeConnection> accepted = server_.accept(kBound);
  if (!accepted) return;
  PipeConnection* connection = accepted.get();
  {
    std::lock_guard<std::mutex> lock(connectionMutex_);
    connection_ = std::move(accepted);
    if (stopping_.load()) return;
  }
  if (answerHandshake_) {
    PipeConnection::Frame request;
    if (!connection->readFrame(request, kBound) || request.name != IPC::InternalMessages::RequestHandshake::messageName) {
      connection->close();
      return;
    }
    const std::vector<std::uint8_t> response(sizeof(IPC::InternalMessages::ResponseHandshake), 0);
    if (!connection->writeFrame(IPC::InternalMessages::ResponseHandshake::messageName, response)) return;
  }
  while (!stopping_.load() && connection->writeAll(block_)) {
  }
}

}  // namespace Orvel::Bench
