#include "ipc/LayerByteMessageReceiver.h"

#include "ipc/FrameScanner.h"
#include "ipc/LayerByteMessage.h"
#include "logging/Log.h"
#include "logging/ThreadName.h"

namespace Orvel {

LayerByteMessageReceiver::~LayerByteMessageReceiver() { stop(); }

void LayerByteMessageReceiver::start(IBidirectionalByteStream* stream, std::optional<platform::Processor> processor) {
  if (thread_.joinable()) thread_.join();
  stream_ = stream;
  processor_ = processor;
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
  if (processor_) platform::keepCurrentThreadOn(*processor_);
  setCurrentThreadName("LayerByteMessageReceiver (" + stream_->getName() + ")");
  // Reads where the scanner says and reports what it finds; the scanner's
  // buffer lives for the run, grown only for long names and never shrunk.
  FrameScanner scanner;
  // Filled anew for every frame. onMessageReceived may take it or swap in a
  // used one: its buffers then take the next frame without new allocations.
  IncomingMessage message;
  bool ended = false;
  while (running_ && !ended) {
    const FrameScanner::Step step = scanner.next(message);
    switch (step.action) {
      case FrameScanner::Action::Read: {
        std::uint32_t size = step.size;
        if (stream_->read(step.data, size)) {
          scanner.received(size);
        } else {
          logError();
          ended = scanner.readFailed(message);
        }
        break;
      }
      case FrameScanner::Action::BadSignature:
        LOG_WARNING("Invalid message signature: %d != %d", static_cast<std::int32_t>(step.signature),
                    static_cast<std::int32_t>(LayerByteMessage::kSignature));
        break;
      case FrameScanner::Action::Corrupted:
        LOG_WARNING("Corrupted message");
        break;
      case FrameScanner::Action::Message:
        onMessageReceived(message);
        break;
      case FrameScanner::Action::Nothing:
        break;
    }
  }
  onReceiverStopped();
}

}  // namespace Orvel
