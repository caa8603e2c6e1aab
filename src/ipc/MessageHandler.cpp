#include "ipc/MessageHandler.h"

#include <utility>

namespace Orvel {

MessageHandler::MessageHandler(std::shared_ptr<ReferenceRecord> reference, std::function<void()> purge)
    : reference_(std::move(reference)), purge_(std::move(purge)) {}

MessageHandler::~MessageHandler() { release(); }

MessageHandler::MessageHandler(MessageHandler&& other) noexcept
    : reference_(std::move(other.reference_)), purge_(std::move(other.purge_)) {
  other.purge_ = nullptr;
}

MessageHandler& MessageHandler::operator=(MessageHandler&& other) noexcept {
  if (this != &other) {
    release();
    reference_ = std::move(other.reference_);
    purge_ = std::move(other.purge_);
    other.purge_ = nullptr;
  }
  return *this;
}

void MessageHandler::release() {
  // Dropping the reference first expires the record, so no new call starts.
  reference_.reset();
  if (purge_) {
    const auto purge = std::move(purge_);
    purge_ = nullptr;
    purge();
  }
}

}  // namespace Orvel
