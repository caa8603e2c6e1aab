// Reads frames from a stream on a thread of its own, recovers from damaged
// input by searching for the next signature, and hands every well-formed
// frame to onMessageReceived. A frame longer than the ceiling is read past
// whole and dropped, never searched. Base class of the IPC client.
#pragma once
#include <atomic>
#include <cstdint>
#include <optional>
#include <thread>

#include "ipc/IBidirectionalByteStream.h"
#include "ipc/IncomingMessage.h"
#include "platform/ProcessorAffinity.h"

namespace Orvel {

class LayerByteMessageReceiver {
 public:
  LayerByteMessageReceiver() = default;
  // Stops and joins the thread if it still runs. A derived class must call
  // stop in its own destructor: the thread calls its virtual operations.
  virtual ~LayerByteMessageReceiver();
  LayerByteMessageReceiver(const LayerByteMessageReceiver&) = delete;
  LayerByteMessageReceiver& operator=(const LayerByteMessageReceiver&) = delete;

  // Joins an earlier receiver thread, then starts reading stream on a new
  // one. The stream is not owned and must stay alive until stop returns.
  // Called from the receiver thread itself, it throws the standard
  // resource-deadlock error. Given a processor, the new thread runs only on
  // that one.
  void start(IBidirectionalByteStream* stream, std::optional<platform::Processor> processor = std::nullopt);
  // Clears running and joins the thread. Does not end a read in progress:
  // the owner closes the stream first.
  void stop();

 protected:
  // Called on the receiver thread for every complete, well-formed frame.
  // Must be cheap and thread-safe. The message is the receiver's to give
  // away: it may be moved from, or swapped with a used message whose buffers
  // the receiver then fills with the next frame.
  virtual void onMessageReceived(IncomingMessage& message) = 0;
  // Called on the receiver thread exactly once when a run ends, whatever the reason.
  virtual void onReceiverStopped() = 0;

  void run();
  // Logs a failed read, unless the stream was closed or ended quietly.
  void logError();

 private:
  IBidirectionalByteStream* stream_ = nullptr;
  std::optional<platform::Processor> processor_;  // the thread's processor, when start was given one
  std::thread thread_;
  std::atomic<bool> running_{false};
};

}  // namespace Orvel
