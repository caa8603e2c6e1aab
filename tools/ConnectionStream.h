// The server end of one client connection seen as a byte stream, so that the
// project's frame receiver can read it. Reads block until data, the client's
// end of the stream, or close; writes block until every byte is taken.
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "ipc/IBidirectionalByteStream.h"
#include "ipc/PipeConnection.h"

namespace Orvel::Tools {

class ConnectionStream final : public IBidirectionalByteStream {
 public:
  ConnectionStream(std::string name, std::unique_ptr<PipeConnection> connection);
  ~ConnectionStream() override;

  std::string getName() const override { return name_; }
  bool isClosed() const override { return closed_.load(); }
  // Ends the connection; a read in progress returns false.
  void close() override;
  // Writes all of size bytes. The server never gives up on a client that is
  // slow to read, so the timeout is not used.
  bool write(const void* data, std::uint32_t& size, std::int64_t timeoutMs) override;
  // Writes what the client's pipe takes at once, without waiting: size is
  // set to the bytes written (0 when the pipe is full). False when the
  // connection has ended.
  bool writeAvailable(const void* data, std::uint32_t& size);
  bool read(void* data, std::uint32_t& size) override;
  // Written bytes are with the system at once: nothing to wait for.
  bool flush() override { return !isClosed(); }
  // A failed read or write here is always the end of the connection, which
  // is not an error of the stream.
  bool hasError() const override { return false; }
  std::uint32_t getErrorCode() const override { return 0; }
  std::string getErrorMessage() const override { return {}; }

 private:
  const std::string name_;
  const std::unique_ptr<PipeConnection> connection_;
  std::atomic<bool> closed_{false};
};

}  // namespace Orvel::Tools
