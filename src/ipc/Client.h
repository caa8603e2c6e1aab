// The client side of the message protocol: connects to a server's named
// pipe, introduces itself with a handshake, pings every second, sends typed
// messages under one send lock and dispatches received messages on a thread
// of its own.
//
// Threads per connection: the receiver (reads frames, queues them), the
// message handler (decodes and runs handlers) and the ping thread.
// Lock order: sendMutex is never held while waiting for another lock, except
// the registry's parsersMutex inside getParser. Handlers run under their
// parser's mutex and may call sendMessage; nothing takes a parser mutex while
// holding sendMutex. pingMutex guards only the ping thread's wait: it is never
// held across a send, so disconnect can always take it and close the pipe.
#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "ipc/IBidirectionalByteStream.h"
#include "ipc/IncomingMessage.h"
#include "ipc/LayerByteMessage.h"
#include "ipc/LayerByteMessageReceiver.h"
#include "ipc/MessageHandlerBase.h"
#include "platform/ProcessorAffinity.h"

namespace Orvel::IPC {

class Client : public LayerByteMessageReceiver, public MessageHandlerBase {
 public:
  enum State : std::int32_t { Connected = 0, Disconnected = 1, Lost = 2 };

  // logErrors: log failed connection attempts and failed pings.
  Client(std::string pipeName, std::string clientName, bool logErrors);
  // Disconnects. Every subscription made on this client's parsers must be
  // released before.
  ~Client() override;

  // Opens the pipe (retrying for connectTimeoutMs, or endlessly in 500 ms
  // attempts when it is 0, until cancelConnectionAttempts), starts the
  // receiver and handler threads, exchanges RequestHandshake for
  // ResponseHandshake within handshakeTimeoutMs and starts the ping thread.
  // True when connected; true at once when already connected.
  bool connect(std::int64_t connectTimeoutMs, std::int64_t handshakeTimeoutMs);
  // Stops every thread and closes the pipe. Idempotent. Must not be called
  // from a handler or from onReceiverStopped.
  void disconnect();
  // Makes a running or later connect give up, for the rest of the client's life.
  void cancelConnectionAttempts();
  // Closes the pipe of the connection, if there is one, from any thread: a
  // send under way fails, and a send's wait for the server to read ends. The
  // connection is then lost; its threads end with disconnect.
  void closeConnection();

  bool isConnected() const { return state_.load() == Connected; }
  State getState() const { return static_cast<State>(state_.load()); }
  // The pipe's recorded error while a pipe exists, else the error of the
  // last failed connection attempt.
  std::uint32_t getLastErrorCode() const;
  // Bytes 0..3 of the last ResponseHandshake.
  std::int32_t getServerValue() const { return serverValue_.load(); }

  // Encodes message and writes it as one frame. A timeout of 0 waits without
  // limit and flushes, and succeeds only when the server has read the whole
  // frame; a positive one bounds the whole frame. Safe from any
  // thread, handlers included.
  template <typename T>
  bool sendMessage(const T& message, std::int64_t timeoutMs);

 protected:
  // Receiver thread: takes the message into the queue, gives back a
  // dispatched one in its place, and wakes the handler thread.
  void onMessageReceived(IncomingMessage& message) override;
  // Receiver thread: the connection is lost. A derived class may extend it;
  // it must then call disconnect in its own destructor, so that the receiver
  // thread has ended before the derived part goes away.
  void onReceiverStopped() override;

  // Subscribes to TResponse, runs send, and waits up to timeoutMs for a
  // TResponse, starting another period while keepWaiting says so. True when
  // one arrived; response then holds it.
  template <typename TResponse>
  bool exchange(const std::function<bool()>& send, std::int64_t timeoutMs, TResponse& response,
                const std::function<bool()>& keepWaiting);

 private:
  bool tryConnection(std::int64_t connectTimeoutMs);
  void logConnectionErrorIfNecessary();
  bool handshake(std::int64_t handshakeTimeoutMs);
  // Once the handler and receiver threads of a connection have ended: what
  // that connection queued and the handler left is never dispatched, not
  // even by the handler of the next connection.
  void dropQueuedMessages();
  // Tells the handler thread to end; stopMessageHandler also joins it.
  void requestHandlerStop();
  void stopMessageHandler();
  // Each runs on the given processor only, when there is one.
  void runMessageHandler(std::optional<platform::Processor> processor);
  void runPing(std::optional<platform::Processor> processor);
  std::string displayName() const { return clientName_.empty() ? pipeName_ : clientName_; }

  std::shared_ptr<IBidirectionalByteStream> pipe_;  // read and replaced through atomic_load / atomic_store
  const std::string pipeName_;
  const std::string clientName_;
  std::atomic<std::int32_t> serverValue_{0};
  std::mutex sendMutex_;
  std::mutex queueMutex_;
  std::condition_variable queueCondition_;
  std::thread pingThread_;
  std::thread handlerThread_;
  std::mutex pingMutex_;
  std::condition_variable pingCondition_;
  std::vector<IncomingMessage> queue_;
  std::vector<IncomingMessage> spare_;  // dispatched messages whose buffers the receiver reuses
  std::size_t spareBytes_ = 0;          // the capacity of their payload buffers
  std::atomic<bool> queued_{false};  // queue_ is not empty; read without queueMutex_ while the handler looks for a burst
  std::atomic<std::int32_t> state_{Disconnected};
  std::atomic<bool> pingRunning_{false};
  std::atomic<bool> handlerRunning_{false};
  std::atomic<bool> cancelRequested_{false};
  std::atomic<bool> lastPingOk_{true};
  const bool logErrors_;
  std::atomic<std::uint32_t> lastConnectError_{0};
};

template <typename T>
bool Client::sendMessage(const T& message, std::int64_t timeoutMs) {
  std::lock_guard<std::mutex> lock(sendMutex_);
  const std::shared_ptr<const LayerByteMessage> frame = getParser<T>()->encode(message);
  const std::shared_ptr<IBidirectionalByteStream> pipe = std::atomic_load(&pipe_);
  return LayerByteMessage::writeToPipe(pipe, frame, timeoutMs);
}

template <typename TResponse>
bool Client::exchange(const std::function<bool()>& send, std::int64_t timeoutMs, TResponse& response,
                      const std::function<bool()>& keepWaiting) {
  std::mutex mutex;
  std::condition_variable condition;
  bool received = false;
  // Subscribed before mutex is taken: the handler takes mutex under its
  // parser's mutex, so mutex is never held while waiting for the parser's.
  MessageHandler subscription = getParser<TResponse>()->addHandler([&](const TResponse& value) {
    {
      std::lock_guard<std::mutex> handlerLock(mutex);
      response = value;
      received = true;
    }
    condition.notify_one();
  });
  std::unique_lock<std::mutex> lock(mutex);
  if (send()) {
    const auto period = std::chrono::milliseconds(timeoutMs > 0 ? timeoutMs : 0);
    for (;;) {
      if (condition.wait_until(lock, std::chrono::steady_clock::now() + period, [&] { return received; })) break;
      if (!keepWaiting()) break;
    }
  }
  const bool result = received;
  // Releasing the subscription takes the parser's mutex: unlock first.
  lock.unlock();
  subscription.release();
  return result;
}

}  // namespace Orvel::IPC
