#include "ipc/Client.h"

#include <utility>

#include "ipc/Ping.h"
#include "ipc/ReadWritePipe.h"
#include "ipc/RequestHandshake.h"
#include "ipc/ResponseHandshake.h"
#include "logging/Log.h"
#include "logging/ThreadName.h"
#include "platform/SystemError.h"

namespace Orvel::IPC {

namespace {

// Each attempt's length when connect is told to try without limit.
constexpr std::int64_t kEndlessAttemptMs = 500;
constexpr auto kPingInterval = std::chrono::seconds(1);
constexpr std::int64_t kPingTimeoutMs = 100;
constexpr std::int64_t kSendFailureLogIntervalNs = 1'000'000'000;
// Dispatched messages kept for the receiver to fill again, so that none
// needs new buffers (allocated on the receiver thread, for large frames
// zero-filled, and freed on this one): enough for a batch of small frames
// that the receiver, reading ahead, queues while this thread decodes the
// batch before (a flood of updates), and for a whole batch of large frames,
// whose payloads the receiver reads straight into them. Their payload
// buffers hold at most kSpareBytes in all: a rare huge frame's is given back.
constexpr std::size_t kSpareMessages = 8192;
constexpr std::size_t kSpareBytes = 4 * 1024 * 1024;
// A payload at least this long costs the receiver a fresh buffer (and the
// handler its copy) far beyond the price of yielding the processor once.
constexpr std::size_t kLargePayload = 2048;
// How long the handler thread looks for the next message before it sleeps.
constexpr auto kBurstWait = std::chrono::microseconds(50);

}  // namespace

Client::Client(std::string pipeName, std::string clientName, bool logErrors)
    : pipeName_(std::move(pipeName)), clientName_(std::move(clientName)), logErrors_(logErrors) {}

Client::~Client() { disconnect(); }

bool Client::connect(std::int64_t connectTimeoutMs, std::int64_t handshakeTimeoutMs) {
  if (state_.load() == Connected) return true;
  disconnect();
  // No connection exists now. A loss noticed by an earlier, failed handshake
  // must not be taken for a loss during this one.
  state_.exchange(Disconnected);

  if (!tryConnection(connectTimeoutMs)) return false;

  // The connection's threads pass each message on from one to the next and
  // to the thread that waits for it, and never need to run side by side:
  // they stay on the processor of the thread that connects, where each of
  // those hand-offs is a cheap wake on the same processor. (On a virtual
  // machine a wake of a sleeping processor costs tens of microseconds.)
  const std::optional<platform::Processor> processor = platform::currentProcessor();
  LayerByteMessageReceiver::start(std::atomic_load(&pipe_).get(), processor);
  handlerRunning_.exchange(true);
  handlerThread_ = std::thread(&Client::runMessageHandler, this, processor);

  if (!handshake(handshakeTimeoutMs)) {
    const auto pipe = std::atomic_load(&pipe_);
    LOG_WARNING("Handshake failed: %s", pipe->hasError() ? pipe->getErrorMessage().c_str() : "Timeout");
    // Closed before the handler thread is joined: see disconnect.
    pipe->close();
    stopMessageHandler();
    LayerByteMessageReceiver::stop();
    dropQueuedMessages();
    std::atomic_store(&pipe_, std::shared_ptr<IBidirectionalByteStream>());
    return false;
  }

  {
    std::lock_guard<std::mutex> lock(pingMutex_);
    pingRunning_.exchange(true);
  }
  // Every connection reports its first failed ping, also after a connection
  // whose pings were failing when it ended.
  lastPingOk_.exchange(true);
  pingThread_ = std::thread(&Client::runPing, this, processor);

  if (state_.exchange(Connected) == Lost) {
    // Lost during the handshake: the threads are cleaned up by the next
    // connect or disconnect.
    state_.exchange(Disconnected);
    return false;
  }
  return true;
}

bool Client::tryConnection(std::int64_t connectTimeoutMs) {
  for (;;) {
    if (cancelRequested_.load()) {
      LOG_WARNING("Connection attempts were canceled, giving up");
      return false;
    }
    auto pipe = ReadWritePipe::connect(pipeName_, connectTimeoutMs == 0 ? kEndlessAttemptMs : connectTimeoutMs);
    if (pipe) {
      std::atomic_store(&pipe_, std::shared_ptr<IBidirectionalByteStream>(std::move(pipe)));
      lastConnectError_.exchange(0);
      return true;
    }
    logConnectionErrorIfNecessary();
    if (connectTimeoutMs != 0) return false;
  }
}

void Client::logConnectionErrorIfNecessary() {
  const std::uint32_t code = lastSystemErrorCode();
  if (code != lastConnectError_.load() && logErrors_) {
    LOG_WARNING("Client \"%s\" failed to connect to server pipe \"%s\": %s", displayName().c_str(), pipeName_.c_str(),
                formatSystemError(code).c_str());
  }
  lastConnectError_.exchange(code);
}

bool Client::handshake(std::int64_t handshakeTimeoutMs) {
  InternalMessages::RequestHandshake request;
  request.clientName = clientName_;
  InternalMessages::ResponseHandshake response;
  const bool answered = exchange<InternalMessages::ResponseHandshake>(
      [&] {
        if (sendMessage(request, handshakeTimeoutMs)) return true;
        const std::uint32_t code = getLastErrorCode();
        LOG_THROTTLED(LogLevels::Warning, kSendFailureLogIntervalNs, "Failed to send message %s: %s",
                      InternalMessages::RequestHandshake::messageName,
                      code != 0 ? formatSystemError(code).c_str() : "");
        return false;
      },
      handshakeTimeoutMs, response, [] { return false; });
  if (answered) serverValue_.exchange(response.serverValue);
  return answered;
}

void Client::disconnect() {
  // Every thread is told to stop before any is joined, so that the three end
  // side by side: disconnect then waits for about one thread's end rather
  // than for each in turn.

  // Pings end first, so that a ping that meets the closed pipe below is not
  // reported as a failure.
  pingRunning_.exchange(false);
  if (pingThread_.joinable()) {
    // Taking pingMutex once after the flag was cleared means the ping thread
    // is now either waiting (and woken below) or yet to look at the flag: it
    // cannot miss the stop. The ping thread never holds pingMutex while it
    // sends, so this takes no longer than its look at the flag.
    { std::lock_guard<std::mutex> lock(pingMutex_); }
    pingCondition_.notify_all();
  }

  // Nothing comes before the close that could wait: a sender may be inside a
  // send without a time limit (a handler's answer and its flush, a property
  // change) to a server that has stopped reading, with the send lock held and
  // other senders, the ping thread among them, waiting for that lock. Only
  // closing the pipe ends that wait. Closing also ends the receiver's blocked
  // read.
  const auto pipe = std::atomic_load(&pipe_);
  if (pipe) pipe->close();

  if (handlerThread_.joinable()) {
    requestHandlerStop();
    handlerThread_.join();
  }

  if (pipe) {
    LayerByteMessageReceiver::stop();
    dropQueuedMessages();
    std::atomic_store(&pipe_, std::shared_ptr<IBidirectionalByteStream>());
    state_.exchange(Disconnected);
  }

  if (pingThread_.joinable()) pingThread_.join();
}

void Client::cancelConnectionAttempts() { cancelRequested_.exchange(true); }

void Client::closeConnection() {
  if (const auto pipe = std::atomic_load(&pipe_)) pipe->close();
}

std::uint32_t Client::getLastErrorCode() const {
  if (const auto pipe = std::atomic_load(&pipe_)) return pipe->getErrorCode();
  return lastConnectError_.load();
}

void Client::dropQueuedMessages() {
  std::lock_guard<std::mutex> lock(queueMutex_);
  queue_.clear();
  queued_.store(false, std::memory_order_release);
}

void Client::requestHandlerStop() {
  {
    std::lock_guard<std::mutex> lock(queueMutex_);
    handlerRunning_.exchange(false);
  }
  queueCondition_.notify_all();
}

void Client::stopMessageHandler() {
  requestHandlerStop();
  if (handlerThread_.joinable()) handlerThread_.join();
}

void Client::onMessageReceived(IncomingMessage& message) {
  bool wasEmpty = false;
  bool noSpare = false;
  const bool large = message.payload.size() >= kLargePayload;
  {
    std::lock_guard<std::mutex> lock(queueMutex_);
    wasEmpty = queue_.empty();
    // The receiver is done with its message: taken, not copied. A message
    // already dispatched goes back in its place, so that the next frame fills
    // its buffers instead of allocating new ones (and, for large frames,
    // instead of touching memory the system has to supply afresh).
    queue_.push_back(std::move(message));
    if (!spare_.empty()) {
      message = std::move(spare_.back());
      spare_.pop_back();
      spareBytes_ -= message.payload.capacity();
    } else {
      noSpare = true;
    }
    queued_.store(true, std::memory_order_release);
  }
  // The handler thread waits only for an empty queue to fill; while messages
  // are queued it has been woken already and takes this one with them.
  if (wasEmpty) queueCondition_.notify_one();
  // Large frames that arrive faster than the handler takes them would each
  // need a new buffer (no dispatched one is left to reuse) and would pile up
  // unread: with the handler on this thread's processor, the receiver gives
  // the processor up for a moment, so that the handler dispatches what is
  // queued and hands the buffers back.
  if (large && noSpare && !wasEmpty) std::this_thread::yield();
}

void Client::onReceiverStopped() { state_.exchange(Lost); }

void Client::runMessageHandler(std::optional<platform::Processor> processor) {
  if (processor) platform::keepCurrentThreadOn(*processor);
  setCurrentThreadName("IPCClient (" + displayName() + ")");
  // Swapped with the queue: the queue keeps the batch's room, so that
  // queueing a message does not allocate.
  std::vector<IncomingMessage> batch;
  // The parser of the last message and its name. Messages of a burst mostly
  // share a name, and a parser stays registered under its name for the
  // client's life: the registry is asked again only when the name changes.
  std::string parserName;
  std::shared_ptr<ILayerByteMessageParser> parser;
  for (;;) {
    // Messages come in bursts. Before it sleeps, this thread looks for the
    // next message of a burst for a moment: caught here, it costs the
    // receiver no wake-up call (the dearest part of receiving a small frame)
    // and this thread no sleep.
    const auto burstEnd = std::chrono::steady_clock::now() + kBurstWait;
    while (!queued_.load(std::memory_order_acquire) && handlerRunning_.load() &&
           std::chrono::steady_clock::now() < burstEnd) {
      std::this_thread::yield();
    }
    {
      std::unique_lock<std::mutex> lock(queueMutex_);
      queueCondition_.wait(lock, [this] { return !handlerRunning_.load() || !queue_.empty(); });
      if (!handlerRunning_.load()) return;  // what is still queued is dropped
      batch.swap(queue_);
      queued_.store(false, std::memory_order_relaxed);
    }
    for (const IncomingMessage& message : batch) {
      if (!parser || message.name != parserName) {
        parser = findParser(message.name);
        parserName = message.name;
      }
      if (parser) {
        parser->parseMessage(message);
      } else {
        LOG_WARNING("No handlers for message '%s'", message.name.c_str());
      }
    }
    {
      std::lock_guard<std::mutex> lock(queueMutex_);
      for (IncomingMessage& message : batch) {
        if (spare_.size() >= kSpareMessages) break;
        if (spareBytes_ + message.payload.capacity() > kSpareBytes) continue;
        spareBytes_ += message.payload.capacity();
        spare_.push_back(std::move(message));
      }
    }
    batch.clear();  // what was not kept is freed outside the lock
  }
}

void Client::runPing(std::optional<platform::Processor> processor) {
  if (processor) platform::keepCurrentThreadOn(*processor);
  setCurrentThreadName("IPCClientPing (" + displayName() + ")");
  std::unique_lock<std::mutex> lock(pingMutex_);
  while (pingRunning_.load()) {
    // The steady clock: a change of the wall clock must not stall the pings.
    pingCondition_.wait_until(lock, std::chrono::steady_clock::now() + kPingInterval,
                              [this] { return !pingRunning_.load(); });
    if (!pingRunning_.load()) break;
    // Sent without pingMutex: the send may wait for the send lock as long as
    // another sender is stuck, and disconnect must be able to stop this
    // thread meanwhile.
    lock.unlock();
    const bool ok = sendMessage(InternalMessages::Ping{}, kPingTimeoutMs);
    // A ping that failed because disconnect closed the pipe is no failure.
    if (!ok && lastPingOk_.load() && logErrors_ && pingRunning_.load()) {
      LOG_WARNING("IPCClient %s: Failed to send ping!", displayName().c_str());
    }
    lastPingOk_.exchange(ok);
    lock.lock();
  }
}

}  // namespace Orvel::IPC
