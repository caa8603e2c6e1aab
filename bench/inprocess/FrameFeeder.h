// The far end of a receiver benchmark: the server end of a private pipe
// whose one client gets, after an optional answer to its handshake, the same
// block of pre-encoded frames again and again in large writes, until the
// client closes its end. Writing costs one copy into the system per block,
// so the feeder is never what the reader waits for.
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ipc/PipeConnection.h"
#include "ipc/PipeServer.h"

namespace Orvel::Bench {

class FrameFeeder {
 public:
  // Creates the pipe and starts the writer thread, which waits for the client.
  // answerHandshake: read the client's RequestHandshake and answer it with a
  // ResponseHandshake before the frames, as an IPC client expects.
  FrameFeeder(const std::string& pipeName, std::vector<std::uint8_t> block, bool answerHandshake);
  // Ends the connection and joins the writer thread.
  ~FrameFeeder();
  FrameFeeder(const FrameFeeder&) = delete;
  FrameFeeder& operator=(const FrameFeeder&) = delete;

  bool isListening() const { return server_.isListening(); }

  // count frames of frameLength bytes each: PropertyUpdateToClient frames
  // whose value fills the frame (frameLength at least 60).
  static std::vector<std::uint8_t> makeUpdateFrames(std::uint32_t frameLength, std::uint32_t count);
  // The value length in each frame of makeUpdateFrames.
  static std::uint32_t valueLength(std::uint32_t frameLength);

 private:
  void run();

  PipeServer server_;
  const std::vector<std::uint8_t> block_;
  const bool answerHandshake_;
  std::atomic<bool> stopping_{false};
  std::mutex connectionMutex_;
  std::unique_ptr<PipeConnection> connection_;  // set once by the writer thread
  std::thread writer_;
};

}  // namespace Orvel::Bench
