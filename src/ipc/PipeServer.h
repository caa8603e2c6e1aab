// The server end of a named pipe: a Win32 named pipe server on Windows, a
// listening abstract-namespace Unix socket on Linux (the pipe path's bytes
// after a leading NUL). Used by the reference property server and the tests.
#pragma once
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "ipc/PipeConnection.h"

namespace Orvel {

class PipeServer {
 public:
  // Creates the pipe, so that clients can connect from now on. The pipe must
  // not exist yet: a second server of the same name is refused rather than
  // left to share the clients. On Windows bufferSize is what the system
  // buffers per direction before a client's write has to wait.
  explicit PipeServer(std::string name, std::uint32_t bufferSize = 64 * 1024);
  // Removes the pipe; connections already accepted stay open.
  ~PipeServer();
  PipeServer(const PipeServer&) = delete;
  PipeServer& operator=(const PipeServer&) = delete;

  const std::string& name() const { return name_; }
  // False when the pipe could not be created; errorCode then says why.
  bool isListening() const;
  // The system error code of a failed creation (Win32 code / errno), else 0.
  std::uint32_t errorCode() const { return errorCode_; }

  // Waits at most bound for the next client; null when none came. When the
  // process cannot take a client in (no descriptor left) it waits out the
  // bound before it returns null, so that a loop of accepts never spins.
  // One thread at a time may accept.
  std::unique_ptr<PipeConnection> accept(std::chrono::milliseconds bound);

 private:
  struct Native;

  std::string name_;
  std::uint32_t bufferSize_;
  std::uint32_t errorCode_ = 0;
  std::unique_ptr<Native> native_;
};

}  // namespace Orvel
