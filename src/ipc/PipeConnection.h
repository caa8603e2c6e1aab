// The server end of one connected client: raw bytes and whole frames. Used
// by the reference property server and the IPC tests. One reader thread and
// one writer thread may use a connection at the same time.
#pragma once
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ipc/IncomingMessage.h"

namespace Orvel {

class PipeConnection {
 public:
  struct Native;  // the platform's handles

  // A frame's name and payload, as the receiver delivers them.
  using Frame = IncomingMessage;

  enum class ReadStatus { Data, End, TimedOut };

  explicit PipeConnection(std::unique_ptr<Native> native);
  ~PipeConnection();
  PipeConnection(const PipeConnection&) = delete;
  PipeConnection& operator=(const PipeConnection&) = delete;

  // Reads up to size bytes, waiting at most bound. Data sets size to the
  // bytes read; End means the client closed its end (or an error ended the
  // connection).
  ReadStatus readSome(void* data, std::size_t& size, std::chrono::milliseconds bound);
  // Reads exactly size bytes, each read waiting at most bound.
  bool readExact(void* data, std::size_t size, std::chrono::milliseconds bound);
  // Writes every byte, blocking while the client does not read.
  bool writeAll(const void* data, std::size_t size);
  // Writes what the system takes at once and never waits for the client to
  // read: size is set to the bytes taken, 0 when the pipe is full. Bytes
  // taken are delivered whole and in order, before those of any later write.
  // False when the connection has ended. Must not overlap another write.
  bool writeAvailable(const void* data, std::size_t& size);
  bool writeAll(const std::vector<std::uint8_t>& bytes) { return writeAll(bytes.data(), bytes.size()); }

  // One frame, judged and split by LayerByteMessage's rules; false on a bad
  // signature or inconsistent lengths, the end of the stream, or a read that
  // took longer than bound. A frame longer than LayerByteMessage's ceiling is
  // read past whole, unseen, and refused: the next call reads the frame after it.
  bool readFrame(Frame& frame, std::chrono::milliseconds bound);
  // Writes the frame that LayerByteMessage encodes for name and payload.
  bool writeFrame(const std::string& name, const std::vector<std::uint8_t>& payload);

  // Discards what the client sends until it closes its end. True when it
  // did so within bound.
  bool waitForEnd(std::chrono::milliseconds bound);

  // Ends the connection; a client read in progress ends as the pipe breaks.
  void close();

 private:
  std::unique_ptr<Native> native_;
};

}  // namespace Orvel
