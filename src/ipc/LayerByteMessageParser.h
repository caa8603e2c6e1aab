// The parser of one message type T: decodes payloads named T::messageName
// and passes each value to T's handlers, and encodes outgoing values of T.
// T declares its wire name and its encoding as ipc/MessageCodec.h says.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "ipc/FieldList.h"
#include "ipc/ILayerByteMessageParser.h"
#include "ipc/LayerByteMessage.h"
#include "ipc/MessageCodec.h"
#include "ipc/MessageHandler.h"
#include "logging/Log.h"

namespace Orvel {

// Handlers run on the thread that calls parseMessage (the IPC client's
// message handler thread) while mutex is held: handlers of one type never run
// concurrently with each other, with addHandler or with a purge. A handler
// must therefore not subscribe to, or release a subscription of, its own type.
template <typename T>
class LayerByteMessageParser final : public ILayerByteMessageParser {
 public:
  using HandlerFunction = std::function<void(const T&)>;

  LayerByteMessageParser() {
    if constexpr (hasFieldList<T>) T::describeFields(fields_);
  }

  static const char* messageName() { return T::messageName; }

  // Subscribes fn; it is called for every decoded T until the returned
  // subscription is released. Handlers are called in subscription order.
  MessageHandler addHandler(HandlerFunction fn) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto reference = std::make_shared<MessageHandler::ReferenceRecord>();
    handlers_.push_back(HandlerRecord{reference, std::move(fn)});
    return MessageHandler(std::move(reference), [this] { purge(); });
  }

  void parseMessage(const IncomingMessage& message) override {
    T value{};
    if (!decodeMessage(fields_, message.payload.data(), static_cast<std::uint32_t>(message.payload.size()), value)) {
      LOG_ERROR("Corrupted message %s", T::messageName);
      return;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (handlers_.empty()) {
      LOG_WARNING("No handlers for message %s", T::messageName);
      return;
    }
    for (std::size_t i = 0; i < handlers_.size();) {
      if (const auto alive = handlers_[i].reference.lock()) {
        handlers_[i].function(value);
        ++i;
      } else {
        handlers_.erase(handlers_.begin() + static_cast<std::ptrdiff_t>(i));
      }
    }
  }

  // A frame carrying T's name and T's encoded payload. Does not lock mutex,
  // so it may run while a send lock is held.
  std::shared_ptr<LayerByteMessage> encode(const T& value) const {
    const std::vector<std::uint8_t> payload = encodeMessage(fields_, value);
    return std::make_shared<LayerByteMessage>(T::messageName, payload.data(),
                                              static_cast<std::uint32_t>(payload.size()));
  }

 private:
  struct HandlerRecord {
    std::weak_ptr<MessageHandler::ReferenceRecord> reference;
    HandlerFunction function;
  };

  // Removes the records of released subscriptions, keeping the others' order.
  void purge() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<HandlerRecord> kept;
    kept.reserve(handlers_.size());
    for (auto& record : handlers_) {
      if (!record.reference.expired()) kept.push_back(std::move(record));
    }
    handlers_ = std::move(kept);
  }

  std::mutex mutex_;
  std::vector<HandlerRecord> handlers_;
  FieldList<T> fields_;  // empty for memory-image types
};

}  // namespace Orvel
