// The client end of a named pipe (Windows: an overlapped named pipe; Linux:
// an abstract-namespace Unix stream socket whose name is the pipe path's bytes).
// Error codes are Win32 codes on Windows and errno values on Linux.
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "ipc/IBidirectionalByteStream.h"

namespace Orvel {

class ReadWritePipe final : public IBidirectionalByteStream {
 public:
  // Opens the pipe, retrying while the server has not created it yet (every
  // 5 ms) or all its instances are busy, until timeoutMs have passed. Null on
  // failure, with the thread's last system error saying why: the timeout
  // error (ERROR_TIMEOUT / ETIMEDOUT) when time ran out; a timeout of 0 or
  // less fails at once.
  static std::shared_ptr<ReadWritePipe> connect(const std::string& name, std::int64_t timeoutMs);

  // Flushes (unless closed) and releases the handle and the events.
  ~ReadWritePipe() override;
  ReadWritePipe(const ReadWritePipe&) = delete;
  ReadWritePipe& operator=(const ReadWritePipe&) = delete;

  std::string getName() const override { return name_; }
  bool isClosed() const override;
  void close() override;
  // A write that times out is cancelled, and returns only after the system
  // has finished with the caller's buffer.
  bool write(const void* data, std::uint32_t& size, std::int64_t timeoutMs) override;
  bool read(void* data, std::uint32_t& size) override;
  bool flush() override;
  std::uint32_t getErrorCode() const override { return lastError_.load(std::memory_order_relaxed); }
  std::string getErrorMessage() const override;

  struct Native;  // the platform's handles, known only to its implementation

 private:

  ReadWritePipe(std::string name, std::unique_ptr<Native> native);

  // Records code unless it is a quiet end (server gone, I/O cancelled,
  // anything after close).
  void recordError(std::uint32_t code);

  std::string name_;
  std::atomic<std::uint32_t> lastError_{0};
  std::unique_ptr<Native> native_;
};

}  // namespace Orvel
