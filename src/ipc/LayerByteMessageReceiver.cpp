#include "ipc/LayerByteMessageReceiver.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "ipc/LayerByteMessage.h"
#include "logging/Log.h"
#include "logging/ThreadName.h"

namespace Orvel {

namespace {

constexpr std::uint32_t kInitialBufferSize = 2048;
constexpr char kSignatureBytes[4] = {'o', 'r', 'v', 'e'};

}  // namespace

LayerByteMessageReceiver::~LayerByteMessageReceiver() { stop(); }

void LayerByteMessageReceiver::start(IBidirectionalByteStream* stream) {
  if (thread_.joinable()) thread_.join();
  stream_ = stream;
  running_ = true;
  thread_ = std::thread(&LayerByteMessageReceiver::run, this);
}

void LayerByteMessageReceiver::stop() {
  if (!thread_.joinable()) return;
  running_ = false;
  thread_.join();
}

void LayerByteMessageReceiver::logError() {
  if (!stream_->isClosed() && stream_->hasError()) {
    LOG_WARNING("Read error %s", stream_->getErrorMessage().c_str());
  }
}

void LayerByteMessageReceiver::run() {
  setCurrentThreadName("LayerByteMessageReceiver (" + stream_->getName() + ")");
  // One buffer per run, grown to the largest frame seen and never shrunk.
  std::vector<std::uint8_t> buffer(kInitialBufferSize, 0);
  std::uint32_t filled = 0;    // bytes held
  std::uint32_t consumed = 0;  // bytes to drop at the start of the next pass
  bool resyncing = false;      // searching for a signature; warned once already
  std::uint32_t skipping = 0;  // bytes of a refused frame still to be read and dropped
  // Filled anew for every frame. onMessageReceived may take it or swap in a
  // used one: its buffers then take the next frame without new allocations.
  IncomingMessage message;

  while (running_) {
    if (consumed > 0) {
      std::memmove(buffer.data(), buffer.data() + consumed, filled - consumed);
      filled -= consumed;
      consumed = 0;
    }
    if (skipping > 0) {
      // Read into the buffer only to be dropped; the body is never held
      // whole. A failed read ends the run: nothing is held to search, and a
      // later read would begin inside the refused frame.
      std::uint32_t size = std::min<std::uint32_t>(skipping, static_cast<std::uint32_t>(buffer.size()));
      if (!stream_->read(buffer.data(), size)) {
        logError();
        break;
      }
      skipping -= size;
      continue;
    }
    if (filled < LayerByteMessage::kHeaderLength) {
      std::uint32_t size = LayerByteMessage::kHeaderLength - filled;
      if (!stream_->read(buffer.data() + filled, size)) {
        logError();
        break;
      }
      filled += size;
      continue;
    }

    const LayerByteMessage::Header header = LayerByteMessage::checkHeader(buffer.data());
    if (header == LayerByteMessage::Header::BadSignature) {
      if (!resyncing) {
        const std::uint32_t signature = LayerByteMessage::readUint32(buffer.data() + 4);
        LOG_WARNING("Invalid message signature: %d != %d", static_cast<std::int32_t>(signature),
                    static_cast<std::int32_t>(LayerByteMessage::kSignature));
      }
      // The next frame start k has the signature at k + 4. Near the end of
      // the held data a prefix of the signature is enough: the next read
      // completes it. Without a match the last four bytes stay, as the
      // possible length field of the next frame.
      std::uint32_t k = 1;
      for (; k < filled - 4; ++k) {
        const std::uint32_t compared = std::min<std::uint32_t>(4, filled - 4 - k);
        if (std::memcmp(buffer.data() + k + 4, kSignatureBytes, compared) == 0) break;
      }
      consumed = k;
      resyncing = true;
      continue;
    }
    resyncing = false;

    const std::uint32_t totalLength = LayerByteMessage::readUint32(buffer.data());
    if (header == LayerByteMessage::Header::TooShort) {
      LOG_WARNING("Corrupted message");
      consumed = 4;  // the next pass searches onwards without warning again
      resyncing = true;
      continue;
    }
    if (header == LayerByteMessage::Header::TooLong) {
      // Too long to accept, and skipped whole, unread: its body is never
      // searched for frames. It may be a real frame (one long property value
      // of a peer), whose bytes could hold what looks like whole frames that
      // nobody sent as such. Every byte held lies inside it: the buffer never
      // grows past the longest frame accepted.
      LOG_WARNING("Corrupted message");
      skipping = totalLength - filled;
      filled = 0;
      continue;
    }
    if (filled < totalLength) {
      if (buffer.size() < totalLength) buffer.resize(totalLength);
      bool complete = true;
      while (filled < totalLength) {
        std::uint32_t size = totalLength - filled;
        if (!stream_->read(buffer.data() + filled, size)) {
          complete = false;
          break;
        }
        filled += size;
      }
      if (!complete) {
        logError();
        consumed = 4;
        resyncing = true;
        continue;
      }
    }

    if (!LayerByteMessage::decodeBody(buffer.data() + LayerByteMessage::kHeaderLength,
                                      totalLength - LayerByteMessage::kHeaderLength, message)) {
      LOG_WARNING("Corrupted message");
      consumed = 4;  // the next pass searches onwards without warning again
      resyncing = true;
      continue;
    }
    onMessageReceived(message);
    consumed = totalLength;
  }
  onReceiverStopped();
}

}  // namespace Orvel
