// One connected client of the reference property server. Its receiver
// thread reads frames, decodes them and hands every protocol event to the
// server. What the server sends goes out in order: at once on the sending
// thread while nothing is queued and the client's pipe takes it without a
// wait, otherwise through the queue of the writer thread, so that a client
// that is slow to read never holds up the server or the other clients.
//
// Threads: the receiver thread runs the message handlers and the server's
// event handling; the writer thread only writes. send, sendRaw,
// closeWhenSent, exitWhenSent and stopReading may be called from any thread.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ConnectionStream.h"
#include "ipc/IncomingMessage.h"
#include "ipc/LayerByteMessageReceiver.h"
#include "ipc/MessageHandler.h"
#include "ipc/MessageHandlerBase.h"
#include "ipc/PipeConnection.h"

namespace Orvel::Tools {

class PropertyServer;

class ServerSession final : public LayerByteMessageReceiver, public MessageHandlerBase {
 public:
  // number: the client's number in the server's output (1 for the first).
  ServerSession(PropertyServer& server, int number, const std::string& pipeName,
                std::unique_ptr<PipeConnection> connection);
  // Closes the connection and joins both threads.
  ~ServerSession() override;

  int number() const { return number_; }

  // Bytes written before every frame that send queues from now on. Set
  // before start.
  void setFramePrefix(std::vector<std::uint8_t> prefix) { framePrefix_ = std::move(prefix); }
  // Starts reading and writing.
  void start();

  // The bytes of one message's frame.
  template <typename T>
  std::vector<std::uint8_t> encode(const T& message) {
    return getParser<T>()->encode(message)->bytes();
  }
  // Queues one message, after the frame prefix.
  template <typename T>
  void send(const T& message) {
    std::vector<std::uint8_t> bytes = framePrefix_;
    const std::vector<std::uint8_t> frame = encode(message);
    bytes.insert(bytes.end(), frame.begin(), frame.end());
    sendRaw(std::move(bytes));
  }
  // Queues bytes as they are, frame or not.
  void sendRaw(std::vector<std::uint8_t> bytes);
  // Closes the connection once everything queued so far is written.
  void closeWhenSent();
  // Writes bytes after everything queued so far, then ends the whole process
  // at once, as if it had been killed: no connection is closed in order.
  void exitWhenSent(std::vector<std::uint8_t> bytes);
  // Reads nothing more from the client once the message being handled is
  // done; the client's writes then fill the pipe and wait.
  void stopReading() { readingStopped_ = true; }

 protected:
  void onMessageReceived(IncomingMessage& message) override;
  void onReceiverStopped() override;

 private:
  struct Outgoing {
    enum class After { Nothing, Close, Exit };
    std::vector<std::uint8_t> bytes;
    After after = After::Nothing;  // what follows the writing of bytes
  };

  void subscribe();
  void enqueue(Outgoing item);
  void runWriter();

  PropertyServer& server_;
  const int number_;
  const std::shared_ptr<ConnectionStream> stream_;
  std::mutex queueMutex_;
  std::condition_variable queueCondition_;
  std::deque<Outgoing> queue_;
  bool writerRunning_ = false;  // also ends the wait of a receiver that stopped reading
  bool writing_ = false;        // the writer thread is writing an item it took from the queue
  std::atomic<bool> readingStopped_{false};
  std::vector<std::uint8_t> framePrefix_;
  std::thread writer_;
  std::vector<MessageHandler> handlers_;  // released before the parsers they belong to
};

}  // namespace Orvel::Tools
