// The reference property server, OrvelPropertyServer, as a child process on
// a pipe of its own. Its output lines (one per client event and property
// change) are collected as they come, so that a test can wait for what the
// server saw; the process can be killed at any moment, as a crash would end it.
#pragma once
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/ChildProcess.h"

namespace Orvel::Test {

// Bound of every wait in the fault tests: generous, never a timing claim.
constexpr std::chrono::seconds kFaultBound(30);

class ServerProcess {
 public:
  // Starts the server with --pipe=<pipeName> and the options, and waits until
  // it listens (see isListening).
  ServerProcess(const std::string& pipeName, const std::vector<std::string>& options = {});
  // Kills the server if it still runs.
  ~ServerProcess();
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  // The server printed its "listening on" line.
  bool isListening() const { return listening_; }
  // Waits until the server has printed exactly this line.
  bool waitForLine(const std::string& line, std::chrono::milliseconds bound = kFaultBound) const;
  // Waits until the server's output has ended (it exited or was killed).
  bool waitForEnd(std::chrono::milliseconds bound = kFaultBound) const;
  std::vector<std::string> lines() const;
  // The lines that begin with prefix.
  std::vector<std::string> linesStartingWith(const std::string& prefix) const;
  // Ends the process at once and waits for its end.
  void kill();

 private:
  void readLines();

  platform::ChildProcess process_;
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<std::string> lines_;
  bool ended_ = false;
  bool listening_ = false;
  std::thread reader_;
};

}  // namespace Orvel::Test
