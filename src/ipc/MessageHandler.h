// A handler subscription: the handler stays active exactly as long as this
// object is alive. It refers to its parser by plain reference, so it must be
// released before the IPC client that issued it is destroyed.
#pragma once
#include <functional>
#include <memory>

namespace Orvel {

class MessageHandler {
 public:
  // An empty object; only its lifetime matters. The handler is alive while
  // a strong reference to it exists.
  struct ReferenceRecord {};

  MessageHandler() = default;
  MessageHandler(std::shared_ptr<ReferenceRecord> reference, std::function<void()> purge);
  ~MessageHandler();
  MessageHandler(MessageHandler&& other) noexcept;
  MessageHandler& operator=(MessageHandler&& other) noexcept;
  MessageHandler(const MessageHandler&) = delete;
  MessageHandler& operator=(const MessageHandler&) = delete;

  // Ends the subscription now: no later dispatch calls the handler, and the
  // parser's purge waits for a call in progress on another thread. Must not
  // be called from a handler of the same message type.
  void release();
  bool isActive() const { return reference_ != nullptr; }

 private:
  std::shared_ptr<ReferenceRecord> reference_;
  std::function<void()> purge_;
};

}  // namespace Orvel
