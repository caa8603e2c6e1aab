// One connected client of the reference property server. Its receiver
// thread reads frames, decodes them and hands every protocol event to the
// server; its writer thread sends what the server queues, in queue order, so
// that a client that is slow to read never holds up the server or the other
// clients.
//
// Threads: the receiver thread runs the message handlers and the server's
// event handling; the writer thread only writes. send, sendRaw and
// closeWhenSent may be called from any thread.
#pragma once
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

  // Starts reading and writing.
  void start();

  // Queues one message.
  template <typename T>
  void send(const T& message) {
    sendRaw(getParser<T>()->encode(message)->bytes());
  }
  // Queues bytes as they are, frame or not.
  void sendRaw(std::vector<std::uint8_t> bytes);
  // Closes the connection once everything queued so far is written.
  void closeWhenSent();

 protected:
  void onMessageReceived(IncomingMessage& message) override;
  void onReceiverStopped() override;

 private:
  struct Outgoing {
    std::vector<std::uint8_t> bytes;
    bool close = false;  // close the connection instead of writing
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
  bool writerRunning_ = false;
  std::thread writer_;
  std::vector<MessageHandler> handlers_;  // released before the parsers they belong to
};

}  // namespace Orvel::Tools
