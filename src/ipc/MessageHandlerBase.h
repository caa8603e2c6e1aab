// The registry of message parsers by wire name; a base of the IPC client.
// Parsers are created on first use and live as long as the registry.
#pragma once
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <unordered_map>

#include "ipc/ILayerByteMessageParser.h"
#include "ipc/LayerByteMessageParser.h"

namespace Orvel {

class MessageHandlerBase {
 public:
  MessageHandlerBase() = default;
  virtual ~MessageHandlerBase() = default;
  MessageHandlerBase(const MessageHandlerBase&) = delete;
  MessageHandlerBase& operator=(const MessageHandlerBase&) = delete;

  // T's parser, created and registered under T::messageName on first use.
  // Safe from any thread. A name is one type's for the registry's life: when
  // another type already holds T::messageName, this throws std::logic_error
  // and nothing is registered. (A parser handed out beside the registry
  // would leave subscriptions and messages of the name to different objects.)
  template <typename T>
  std::shared_ptr<LayerByteMessageParser<T>> getParser() {
    std::lock_guard<std::mutex> lock(parsersMutex_);
    auto& entry = parsers_[T::messageName];
    if (!entry) {
      auto parser = std::make_shared<LayerByteMessageParser<T>>();
      entry = parser;
      return parser;
    }
    auto parser = std::dynamic_pointer_cast<LayerByteMessageParser<T>>(entry);
    if (!parser) {
      throw std::logic_error(std::string("Message name \"") + T::messageName +
                             "\" is already registered for another message type");
    }
    return parser;
  }

  // The parser registered under name, or null.
  std::shared_ptr<ILayerByteMessageParser> findParser(const std::string& name);

 private:
  std::unordered_map<std::string, std::shared_ptr<ILayerByteMessageParser>> parsers_;
  std::mutex parsersMutex_;
};

}  // namespace Orvel
