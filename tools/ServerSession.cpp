#include "ServerSession.h"

#include <cstdlib>
#include <utility>

#include "PropertyServer.h"
#include "ipc/Ping.h"
#include "ipc/RequestHandshake.h"
#include "logging/ThreadName.h"
#include "state/ComponentHeartbeat.h"
#include "state/NotifyPropertyClientStatus.h"
#include "state/PropertyUpdateToServer.h"
#include "state/RequestResetPersistentProperties.h"
#include "state/ResponseClientRole.h"

namespace Orvel::Tools {

namespace Messages = State::Messages;
namespace Internal = IPC::InternalMessages;

ServerSession::ServerSession(PropertyServer& server, int number, const std::string& pipeName,
                             std::unique_ptr<PipeConnection> connection)
    : server_(server),
      number_(number),
      stream_(std::make_shared<ConnectionStream>(pipeName + " client " + std::to_string(number),
                                                 std::move(connection))) {}

ServerSession::~ServerSession() {
  {
    std::lock_guard<std::mutex> lock(queueMutex_);
    writerRunning_ = false;
  }
  queueCondition_.notify_all();
  stream_->close();
  stop();
  if (writer_.joinable()) writer_.join();
}

void ServerSession::start() {
  subscribe();
  {
    std::lock_guard<std::mutex> lock(queueMutex_);
    writerRunning_ = true;
  }
  writer_ = std::thread([this] { runWriter(); });
  LayerByteMessageReceiver::start(stream_.get());
}

void ServerSession::subscribe() {
  handlers_.push_back(getParser<Internal::RequestHandshake>()->addHandler(
      [this](const Internal::RequestHandshake& message) { server_.onHandshake(*this, message.clientName); }));
  handlers_.push_back(getParser<Internal::Ping>()->addHandler(
      [this](const Internal::Ping&) { server_.onPing(*this); }));
  handlers_.push_back(getParser<Messages::ResponseClientRole>()->addHandler(
      [this](const Messages::ResponseClientRole& message) { server_.onClientRole(*this, message.role); }));
  handlers_.push_back(getParser<Messages::PropertyUpdateToServer>()->addHandler(
      [this](const Messages::PropertyUpdateToServer& message) { server_.onUpdate(*this, message.key, message.value); }));
  handlers_.push_back(getParser<Messages::NotifyPropertyClientStatus>()->addHandler(
      [this](const Messages::NotifyPropertyClientStatus& message) { server_.onReadiness(*this, message.ready); }));
  handlers_.push_back(getParser<Messages::ComponentHeartbeat>()->addHandler(
      [this](const Messages::ComponentHeartbeat&) { server_.onHeartbeat(*this); }));
  handlers_.push_back(getParser<Messages::RequestResetPersistentProperties>()->addHandler(
      [this](const Messages::RequestResetPersistentProperties&) { server_.onResetPersistentProperties(*this); }));
}

void ServerSession::sendRaw(std::vector<std::uint8_t> bytes) { enqueue(Outgoing{std::move(bytes)}); }

void ServerSession::closeWhenSent() { enqueue(Outgoing{{}, Outgoing::After::Close}); }

void ServerSession::exitWhenSent(std::vector<std::uint8_t> bytes) {
  enqueue(Outgoing{std::move(bytes), Outgoing::After::Exit});
}

void ServerSession::enqueue(Outgoing item) {
  {
    std::lock_guard<std::mutex> lock(queueMutex_);
    if (writerRunning_ && queue_.empty() && !writing_ && item.after == Outgoing::After::Nothing) {
      // Nothing goes out before these bytes: what the pipe takes now saves
      // waking the writer thread; only the rest is queued.
      auto size = static_cast<std::uint32_t>(item.bytes.size());
      if (!stream_->writeAvailable(item.bytes.data(), size)) {
        stream_->close();  // as the writer does when a write fails
        return;
      }
      if (size == item.bytes.size()) return;
      item.bytes.erase(item.bytes.begin(), item.bytes.begin() + size);
    }
    queue_.push_back(std::move(item));
  }
  queueCondition_.notify_all();  // the writer, not a receiver that stopped reading
}

void ServerSession::onMessageReceived(IncomingMessage& message) {
  // Handled here on the receiver thread: the server's work per message is
  // short, and the writer thread takes care of slow clients.
  if (const auto parser = findParser(message.name)) {
    parser->parseMessage(message);
  } else {
    server_.onUnknownMessage(*this, message.name);
  }
  if (readingStopped_) {
    // Hold the receiver thread until the session ends.
    std::unique_lock<std::mutex> lock(queueMutex_);
    queueCondition_.wait(lock, [this] { return !writerRunning_; });
  }
}

void ServerSession::onReceiverStopped() { server_.onSessionEnded(*this); }

void ServerSession::runWriter() {
  setCurrentThreadName("PropertyServerWriter (client " + std::to_string(number_) + ")");
  std::unique_lock<std::mutex> lock(queueMutex_);
  for (;;) {
    queueCondition_.wait(lock, [this] { return !writerRunning_ || !queue_.empty(); });
    if (!writerRunning_) return;
    Outgoing item = std::move(queue_.front());
    queue_.pop_front();
    writing_ = true;
    lock.unlock();
    auto size = static_cast<std::uint32_t>(item.bytes.size());
    if (size != 0 && !stream_->write(item.bytes.data(), size, 0)) stream_->close();
    if (item.after == Outgoing::After::Close) {
      // The receiver notices the end and reports the client as gone.
      stream_->close();
    } else if (item.after == Outgoing::After::Exit) {
      std::_Exit(3);
    }
    lock.lock();
    writing_ = false;
  }
}

}  // namespace Orvel::Tools
