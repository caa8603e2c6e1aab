// The server end of a named pipe for tests and the reference property
// server: a Win32 named pipe server on Windows, a listening abstract-namespace
// Unix socket on Linux (the pipe path's bytes after a leading NUL).
#pragma once
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "support/PipeConnection.h"

namespace Orvel::Test {

// A pipe path no other test or process uses: "\\.\pipe\Orvel\Test-<purpose>-<random>".
std::string uniquePipeName(const std::string& purpose);

class PipeServer {
 public:
  // Creates the pipe, so that clients can connect from now on. On Windows
  // bufferSize is what the system buffers per direction before a client's
  // write has to wait.
  explicit PipeServer(std::string name, std::uint32_t bufferSize = 64 * 1024);
  // Removes the pipe; connections already accepted stay open.
  ~PipeServer();
  PipeServer(const PipeServer&) = delete;
  PipeServer& operator=(const PipeServer&) = delete;

  const std::string& name() const { return name_; }
  // False when the pipe could not be created.
  bool isListening() const;

  // Waits at most bound for the next client; null when none came.
  std::unique_ptr<PipeConnection> accept(std::chrono::milliseconds bound);

 private:
  struct Native;

  std::string name_;
  std::uint32_t bufferSize_;
  std::unique_ptr<Native> native_;
};

}  // namespace Orvel::Test
